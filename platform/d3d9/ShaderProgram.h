#pragma once
// A program of our effect layer. Uniform values are kept here on the CPU by name; the GL back end
// derives from this class, compiles the sources lazily on the drawing thread and uploads the values
// that changed when a draw uses the program. The null back end uses it as it is: nothing is compiled,
// every value set is kept, and tests read them back with FindUniform.

#include "d3d9/ResourceBase.h"

#include <map>
#include <string>
#include <vector>

struct ShaderUniform {
    ShaderUniformType type = SHADER_UNIFORM_FLOAT;
    UINT count = 0;
    std::vector<uint8_t> data; // count elements of UniformElementSize(type) bytes
    uint64_t version = 0; // the program's UniformVersion() when this value was last set
};

class ShaderProgram : public IShaderProgram, public ResourceBase
{
public:
    ShaderProgram(DeviceBase* device, const char* vertexSource, const char* fragmentSource);

    ULONG AddRef() override;
    ULONG Release() override;
    void SetUniform(const char* name, ShaderUniformType type, const void* data, UINT count) override;
    const char* GetLog() override { return log_.c_str(); }
    BOOL IsValid() override { return valid_ ? TRUE : FALSE; }

    const std::string& VertexSource() const { return vertexSource_; }
    const std::string& FragmentSource() const { return fragmentSource_; }
    // The stored value of a uniform, or null when none was set under that name.
    const ShaderUniform* FindUniform(const char* name) const;
    const std::map<std::string, ShaderUniform, std::less<>>& Uniforms() const { return uniforms_; }
    // Bumps on every SetUniform.
    uint64_t UniformVersion() const { return uniformVersion_; }

    // Bytes of one element: FLOAT 4, VEC2 8, VEC3 12, VEC4 16, MAT4 64, INT/BOOL/SAMPLER 4.
    static UINT UniformElementSize(ShaderUniformType type);

protected:
    std::string log_;
    bool valid_ = true;

private:
    std::string vertexSource_;
    std::string fragmentSource_;
    std::map<std::string, ShaderUniform, std::less<>> uniforms_;
    uint64_t uniformVersion_ = 0;
};
