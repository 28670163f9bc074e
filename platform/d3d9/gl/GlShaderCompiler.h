#pragma once
// Platform-internal: compiling and linking GLSL for the fixed-function generator and for the effect layer's
// programs. The attribute names bound here are the ones GlProgram.h documents.

#include <epoxy/gl.h>

#include <string>

class GlShaderCompiler
{
public:
    // The names bound to the ShaderAttribute locations before linking (layout qualifiers in a source win).
    static const char* AttributeName(unsigned location);
    static constexpr unsigned ATTRIBUTE_COUNT = 15;

    // Readies a source for the compiler: "#version 330 core" is put in front when the source names no
    // version, and a vertex source for a context without clip control gets its main wrapped so that clip
    // space follows the device's conventions (y flipped, depth 0..1 mapped to -1..1).
    static std::string Prepare(const char* source, bool vertexStage, bool clipControl);

    // Compiles and links; returns 0 and fills log on failure. The log also receives warnings.
    static GLuint Link(const std::string& vertexSource, const std::string& fragmentSource, bool bindAttributeNames,
                       std::string* log);
};
