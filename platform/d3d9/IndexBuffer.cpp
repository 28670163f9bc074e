#include "d3d9/IndexBuffer.h"

#include <cstring>

IndexBuffer::IndexBuffer(DeviceBase* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
    : BufferBase(device, ResourceKind::INDEXBUFFER, length, usage, pool), format_(format)
{ }

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = Usage();
    desc->Pool = Pool();
    desc->Size = Size();
    return D3D_OK;
}

bool IndexBuffer::IndexRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex, bool* exact)
{
    if (exact)
        *exact = true;
    if (count == 0 || static_cast<uint64_t>(start) + count > IndexCount())
        return false;
    std::lock_guard<std::mutex> guard(DataMutex());
    if (IsCopyDropped()) {
        *minIndex = wholeMin_;
        *maxIndex = wholeMax_;
        if (exact)
            *exact = false;
        return true;
    }
    const uint64_t changes = ChangeCount();
    for (const RangeAnswer& answer : answers_) {
        if (answer.changeCount == changes && answer.start == start && answer.count == count) {
            *minIndex = answer.minIndex;
            *maxIndex = answer.maxIndex;
            return true;
        }
    }
    UINT lowest = 0;
    UINT highest = 0;
    ScanRange(start, count, &lowest, &highest);
    answers_[nextAnswer_] = RangeAnswer{changes, start, count, lowest, highest};
    nextAnswer_ = (nextAnswer_ + 1) % REMEMBERED_RANGES;
    *minIndex = lowest;
    *maxIndex = highest;
    return true;
}

void IndexBuffer::ScanRange(UINT start, UINT count, UINT* minIndex, UINT* maxIndex) const
{
    UINT lowest = 0xFFFFFFFFu;
    UINT highest = 0;
    if (format_ == D3DFMT_INDEX32) {
        for (UINT i = 0; i < count; ++i) {
            uint32_t index;
            std::memcpy(&index, Data() + (static_cast<size_t>(start) + i) * 4, sizeof(index));
            lowest = index < lowest ? index : lowest;
            highest = index > highest ? index : highest;
        }
    } else {
        for (UINT i = 0; i < count; ++i) {
            uint16_t index;
            std::memcpy(&index, Data() + (static_cast<size_t>(start) + i) * 2, sizeof(index));
            lowest = index < lowest ? index : lowest;
            highest = index > highest ? index : highest;
        }
    }
    *minIndex = lowest;
    *maxIndex = highest;
}

void IndexBuffer::BeforeCopyDropped()
{
    ScanRange(0, IndexCount(), &wholeMin_, &wholeMax_);
}
