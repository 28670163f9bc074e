#include "d3d9/gl/GlProgram.h"

#include "d3d9/DeviceBase.h"
#include "d3d9/gl/GlDevice.h"
#include "d3d9/gl/GlShaderCompiler.h"
#include "d3d9/gl/GlStateCache.h"

#include <algorithm>
#include <vector>

GlProgram::GlProgram(DeviceBase* device, const char* vertexSource, const char* fragmentSource, bool clipControl)
    : ShaderProgram(device, vertexSource, fragmentSource), clipControl_(clipControl)
{
    CompileIfDue();
}

void GlProgram::CompileIfDue()
{
    if (compileTried_ || !Device()->IsDrawingThread())
        return;
    compileTried_ = true;
    static_cast<GlDevice*>(Device())->MakeCurrent();
    const std::string vertex = GlShaderCompiler::Prepare(VertexSource().c_str(), true, clipControl_);
    const std::string fragment = GlShaderCompiler::Prepare(FragmentSource().c_str(), false, clipControl_);
    std::string log;
    const GLuint program = GlShaderCompiler::Link(vertex, fragment, true, &log);
    log_ = log;
    valid_ = program != 0;
    if (!program) {
        compiled_.store(true, std::memory_order_release);
        return;
    }

    auto* linked = new GlLinkedProgram;
    linked->program = program;
    GLint count = 0;
    GLint maxLength = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &maxLength);
    std::vector<char> name(static_cast<size_t>(std::max(maxLength, 1)) + 1, '\0');
    for (GLint i = 0; i < count; ++i) {
        GLint size = 0;
        GLenum type = 0;
        GLsizei length = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), maxLength, &length, &size, &type, name.data());
        std::string bare(name.data(), static_cast<size_t>(length));
        if (bare.size() > 3 && bare.compare(bare.size() - 3, 3, "[0]") == 0)
            bare.resize(bare.size() - 3);
        GlLinkedProgram::Location location;
        location.location = glGetUniformLocation(program, bare.c_str());
        location.size = size;
        if (location.location >= 0)
            linked->uniforms.emplace(bare, location);
    }
    backEndData = linked;
    compiled_.store(true, std::memory_order_release);
}

const char* GlProgram::GetLog()
{
    CompileIfDue();
    if (!compiled_.load(std::memory_order_acquire))
        return "";
    return ShaderProgram::GetLog();
}

BOOL GlProgram::IsValid()
{
    CompileIfDue();
    if (!compiled_.load(std::memory_order_acquire))
        return TRUE; // not compiled yet: the drawing thread decides at the first use
    return ShaderProgram::IsValid();
}

unsigned GlProgram::StageMask() const
{
    const auto* linked = static_cast<const GlLinkedProgram*>(backEndData);
    return linked ? linked->stageMask : 1u;
}

bool GlProgram::Prepare(GlStateCache& state)
{
    CompileIfDue();
    auto* linked = static_cast<GlLinkedProgram*>(backEndData);
    if (!valid_ || !linked)
        return false;
    state.UseProgram(linked->program);
    if (linked->uploadedVersion != UniformVersion())
        Upload(*linked);
    return true;
}

void GlProgram::Upload(GlLinkedProgram& linked)
{
    for (const auto& [name, uniform] : Uniforms()) {
        if (uniform.version <= linked.uploadedVersion)
            continue;
        auto bound = linked.bound.find(&uniform);
        if (bound == linked.bound.end()) {
            GlLinkedProgram::Location location;
            auto active = linked.uniforms.find(name);
            if (active != linked.uniforms.end())
                location = active->second;
            bound = linked.bound.emplace(&uniform, location).first;
        }
        const GlLinkedProgram::Location& location = bound->second;
        if (location.location < 0)
            continue;
        const GLsizei count = static_cast<GLsizei>(std::min<GLint>(static_cast<GLint>(uniform.count), location.size));
        const void* data = uniform.data.data();
        const auto* floats = static_cast<const GLfloat*>(data);
        const auto* ints = static_cast<const GLint*>(data);
        switch (uniform.type) {
        case SHADER_UNIFORM_FLOAT:
            glUniform1fv(location.location, count, floats);
            break;
        case SHADER_UNIFORM_VEC2:
            glUniform2fv(location.location, count, floats);
            break;
        case SHADER_UNIFORM_VEC3:
            glUniform3fv(location.location, count, floats);
            break;
        case SHADER_UNIFORM_VEC4:
            glUniform4fv(location.location, count, floats);
            break;
        case SHADER_UNIFORM_MAT4:
            glUniformMatrix4fv(location.location, count, GL_FALSE, floats);
            break;
        case SHADER_UNIFORM_INT:
        case SHADER_UNIFORM_BOOL:
            glUniform1iv(location.location, count, ints);
            break;
        case SHADER_UNIFORM_SAMPLER:
            glUniform1iv(location.location, count, ints);
            for (GLsizei i = 0; i < count; ++i) {
                if (ints[i] >= 0 && ints[i] < 8)
                    linked.stageMask |= 1u << ints[i];
            }
            break;
        }
    }
    linked.uploadedVersion = UniformVersion();
}
