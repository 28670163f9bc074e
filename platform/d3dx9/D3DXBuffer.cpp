#include "d3dx9/D3DXBuffer.h"

#include <cstring>

D3DXBuffer* D3DXBuffer::FromText(std::string_view text)
{
    auto* buffer = new D3DXBuffer(text.size() + 1);
    std::memcpy(buffer->bytes_.data(), text.data(), text.size());
    buffer->bytes_[text.size()] = 0;
    return buffer;
}
