#pragma once
// Platform-internal: GL buffers for the device's vertex and index buffers, refreshed from their
// system-memory copies when those changed (a buffer that is not dynamic drops its copy once uploaded: see
// BufferBase), and the streaming buffers behind the ...UP draws.
// Index buffers bind to GL_ELEMENT_ARRAY_BUFFER of the device's one vertex array object.

#include "d3d9/D3D9.h"

#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

class BufferBase;
class VertexBuffer;
class IndexBuffer;
class GlStateCache;

// What the device keeps for a buffer in its backEndData.
struct GlBuffer {
    GLuint name = 0;
    UINT size = 0; // bytes of the GL store, 0 before the first upload
};

class GlBufferCache
{
public:
    void Create();
    void Release(GlStateCache& state);

    // The GL buffer of a vertex buffer, uploaded first when its copy changed; bound to GL_ARRAY_BUFFER.
    // 0 when it has no contents on the GPU yet (it was locked at its first use): draw nothing then.
    GLuint PrepareVertices(VertexBuffer* buffer, GlStateCache& state);
    // The GL buffer of an index buffer, uploaded first when its copy changed; bound as the element buffer.
    // 0 as above.
    GLuint PrepareIndices(IndexBuffer* buffer);

    // Copies vertices into the streaming buffer (bound to GL_ARRAY_BUFFER) at a multiple of stride, so that
    // draws of one layout keep their attribute pointers: *firstVertex is the vertex number of the copy.
    GLuint StreamVertices(const void* data, UINT size, UINT stride, UINT* firstVertex, GlStateCache& state);
    // Copies indices into the streaming element buffer (bound); returns their byte offset there.
    UINT StreamIndices(const void* data, UINT size);

    void Destroy(GlBuffer* buffer, GlStateCache& state);

    // Reads an uploaded buffer back into bytes (Size() of them), through the copy-read binding so that no
    // binding a draw relies on moves. Context current.
    static bool ReadBack(BufferBase* buffer, std::vector<uint8_t>* bytes);

private:
    struct Stream {
        GLuint name = 0;
        UINT capacity = 0;
        UINT used = 0;
    };
    // Maps room for size bytes at an offset that is a multiple of alignment, orphaning the storage
    // when full, so that a draw still reading the earlier contents is never waited for.
    void* MapStream(Stream& stream, GLenum target, UINT size, UINT alignment, UINT* offset);
    void BindElements(GLuint name);

    Stream vertexStream_;
    Stream indexStream_;
    GLuint elementBuffer_ = ~0u;
};
