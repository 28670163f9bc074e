#include "d3d9/gl/GlBufferCache.h"

#include "d3d9/IndexBuffer.h"
#include "d3d9/VertexBuffer.h"
#include "d3d9/gl/GlStateCache.h"

#include <cstring>
#include <mutex>

namespace {

constexpr UINT STREAM_CAPACITY = 4u << 20;

// The GL buffer object of a vertex or index buffer, made at first use.
GlBuffer* BufferObject(BufferBase* buffer)
{
    auto* gl = static_cast<GlBuffer*>(buffer->backEndData);
    if (!gl) {
        gl = new GlBuffer;
        glGenBuffers(1, &gl->name);
        buffer->backEndData = gl;
    }
    return gl;
}

bool Upload(BufferBase* buffer, GlBuffer* gl, GLenum target)
{
    std::lock_guard<std::mutex> lock(buffer->DataMutex());
    if (buffer->IsLocked())
        return false; // half written: keep the previous contents until it is unlocked
    if (buffer->IsCopyDropped()) {
        // GL has the bytes already; a lock brings the copy back before anything changes.
        buffer->backEndVersion = buffer->ChangeCount();
        return true;
    }
    const uint64_t version = buffer->ChangeCount();
    UINT begin = 0, end = 0;
    const bool written = buffer->TakeDirtyRange(&begin, &end);
    if (gl->size == buffer->Size() && written && (begin > 0 || end < buffer->Size())) {
        // Only the part written since the last upload travels (a particle system fills its live quads).
        glBufferSubData(target, begin, end - begin, buffer->Data() + begin);
    } else {
        const GLenum usage = (buffer->Usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
        // Specifying the whole store anew lets the driver orphan the old one if a draw still reads it.
        glBufferData(target, buffer->Size(), buffer->Data(), usage);
        gl->size = buffer->Size();
    }
    buffer->backEndVersion = version;
    buffer->DropCopy();
    return true;
}

} // namespace

void GlBufferCache::Create()
{
    glGenBuffers(1, &vertexStream_.name);
    glGenBuffers(1, &indexStream_.name);
    elementBuffer_ = ~0u;
}

void GlBufferCache::Release(GlStateCache& state)
{
    for (Stream* stream : {&vertexStream_, &indexStream_}) {
        if (stream->name) {
            glDeleteBuffers(1, &stream->name);
            state.OnBufferDeleted(stream->name);
        }
        *stream = Stream{};
    }
    elementBuffer_ = ~0u;
}

void GlBufferCache::BindElements(GLuint name)
{
    if (elementBuffer_ == name)
        return;
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
    elementBuffer_ = name;
}

GLuint GlBufferCache::PrepareVertices(VertexBuffer* buffer, GlStateCache& state)
{
    GlBuffer* gl = BufferObject(buffer);
    state.BindArrayBuffer(gl->name);
    if (buffer->backEndVersion != buffer->ChangeCount())
        Upload(buffer, gl, GL_ARRAY_BUFFER);
    return buffer->backEndVersion ? gl->name : 0;
}

GLuint GlBufferCache::PrepareIndices(IndexBuffer* buffer)
{
    GlBuffer* gl = BufferObject(buffer);
    BindElements(gl->name);
    if (buffer->backEndVersion != buffer->ChangeCount())
        Upload(buffer, gl, GL_ELEMENT_ARRAY_BUFFER);
    return buffer->backEndVersion ? gl->name : 0;
}

void* GlBufferCache::MapStream(Stream& stream, GLenum target, UINT size, UINT alignment, UINT* offset)
{
    UINT start = (stream.used + alignment - 1) / alignment * alignment;
    if (stream.capacity == 0 || start + size > stream.capacity) {
        UINT capacity = stream.capacity ? stream.capacity : STREAM_CAPACITY;
        while (capacity < size)
            capacity *= 2;
        glBufferData(target, capacity, nullptr, GL_STREAM_DRAW);
        stream.capacity = capacity;
        start = 0;
    }
    stream.used = start + size;
    *offset = start;
    return glMapBufferRange(target, start, size,
                            GL_MAP_WRITE_BIT | GL_MAP_UNSYNCHRONIZED_BIT | GL_MAP_INVALIDATE_RANGE_BIT);
}

GLuint GlBufferCache::StreamVertices(const void* data, UINT size, UINT stride, UINT* firstVertex, GlStateCache& state)
{
    state.BindArrayBuffer(vertexStream_.name);
    UINT offset = 0;
    void* target = MapStream(vertexStream_, GL_ARRAY_BUFFER, size, stride ? stride : 1, &offset);
    if (target) {
        std::memcpy(target, data, size);
        glUnmapBuffer(GL_ARRAY_BUFFER);
    }
    *firstVertex = stride ? offset / stride : 0;
    return vertexStream_.name;
}

UINT GlBufferCache::StreamIndices(const void* data, UINT size)
{
    BindElements(indexStream_.name);
    UINT offset = 0;
    void* target = MapStream(indexStream_, GL_ELEMENT_ARRAY_BUFFER, size, 4, &offset);
    if (target) {
        std::memcpy(target, data, size);
        glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER);
    }
    return offset;
}

bool GlBufferCache::ReadBack(BufferBase* buffer, std::vector<uint8_t>* bytes)
{
    auto* gl = buffer ? static_cast<GlBuffer*>(buffer->backEndData) : nullptr;
    if (!gl || !gl->name || gl->size != buffer->Size())
        return false;
    bytes->assign(buffer->Size(), 0);
    // Only this read's own error may fail it (a lost context repeats its error: a few reads are enough).
    for (int stale = 0; stale < 8 && glGetError() != GL_NO_ERROR; ++stale) { }
    glBindBuffer(GL_COPY_READ_BUFFER, gl->name);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(bytes->size()), bytes->data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

void GlBufferCache::Destroy(GlBuffer* buffer, GlStateCache& state)
{
    if (!buffer)
        return;
    if (buffer->name) {
        glDeleteBuffers(1, &buffer->name);
        state.OnBufferDeleted(buffer->name);
        if (elementBuffer_ == buffer->name)
            elementBuffer_ = ~0u;
    }
    delete buffer;
}
