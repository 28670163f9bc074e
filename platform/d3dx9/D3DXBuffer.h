#pragma once
// Platform-internal: a block of bytes handed out as an ID3DXBuffer (compilation errors and the like).

#include "d3dx9/D3DX9Core.h"
#include "win32/ComObject.h"

#include <atomic>
#include <string_view>
#include <vector>

class D3DXBuffer : public ComObject<ID3DXBuffer>
{
public:
    explicit D3DXBuffer(size_t size) : bytes_(size) { }
    // A buffer holding the text and a terminating NUL, as error buffers are read as C strings.
    static D3DXBuffer* FromText(std::string_view text);

    void* GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

protected:
    ~D3DXBuffer() override = default;

private:
    std::vector<unsigned char> bytes_;
};
