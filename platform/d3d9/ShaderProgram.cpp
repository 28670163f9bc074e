#include "d3d9/ShaderProgram.h"

#include "d3d9/DeviceBase.h"

#include <cstring>

ShaderProgram::ShaderProgram(DeviceBase* device, const char* vertexSource, const char* fragmentSource)
    : ResourceBase(device, ResourceKind::SHADERPROGRAM, D3DPOOL_MANAGED, false, true),
      vertexSource_(vertexSource ? vertexSource : ""), fragmentSource_(fragmentSource ? fragmentSource : "")
{ }

ULONG ShaderProgram::AddRef()
{
    return AddExternalRef();
}

ULONG ShaderProgram::Release()
{
    return ReleaseExternalRef();
}

UINT ShaderProgram::UniformElementSize(ShaderUniformType type)
{
    switch (type) {
    case SHADER_UNIFORM_FLOAT:
    case SHADER_UNIFORM_INT:
    case SHADER_UNIFORM_BOOL:
    case SHADER_UNIFORM_SAMPLER:
        return 4;
    case SHADER_UNIFORM_VEC2:
        return 8;
    case SHADER_UNIFORM_VEC3:
        return 12;
    case SHADER_UNIFORM_VEC4:
        return 16;
    case SHADER_UNIFORM_MAT4:
        return 64;
    }
    return 0;
}

void ShaderProgram::SetUniform(const char* name, ShaderUniformType type, const void* data, UINT count)
{
    const UINT elementSize = UniformElementSize(type);
    if (!name || !*name || !data || count == 0 || elementSize == 0)
        return;
    auto found = uniforms_.find(std::string_view(name));
    if (found == uniforms_.end())
        found = uniforms_.emplace(std::string(name), ShaderUniform{}).first;
    ShaderUniform& uniform = found->second;
    uniform.type = type;
    uniform.count = count;
    uniform.data.resize(static_cast<size_t>(elementSize) * count);
    std::memcpy(uniform.data.data(), data, uniform.data.size());
    uniform.version = ++uniformVersion_;
}

const ShaderUniform* ShaderProgram::FindUniform(const char* name) const
{
    if (!name)
        return nullptr;
    const auto found = uniforms_.find(std::string_view(name));
    return found == uniforms_.end() ? nullptr : &found->second;
}
