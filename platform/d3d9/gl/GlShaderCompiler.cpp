#include "d3d9/gl/GlShaderCompiler.h"

#include <cstring>
#include <vector>

namespace {

const char* const ATTRIBUTE_NAMES[GlShaderCompiler::ATTRIBUTE_COUNT] = {
    "inPosition",     "inNormal",    "inDiffuse",   "inSpecular",  "inBlendWeight",
    "inBlendIndices", "inPSize",     "inTexCoord0", "inTexCoord1", "inTexCoord2",
    "inTexCoord3",    "inTexCoord4", "inTexCoord5", "inTexCoord6", "inTexCoord7",
};

std::string ShaderLog(GLuint shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return {};
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    glGetShaderInfoLog(shader, length, nullptr, text.data());
    return text.data();
}

std::string ProgramLog(GLuint program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    if (length <= 1)
        return {};
    std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
    glGetProgramInfoLog(program, length, nullptr, text.data());
    return text.data();
}

GLuint Compile(GLenum type, const std::string& source, std::string* log)
{
    GLuint shader = glCreateShader(type);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    std::string messages = ShaderLog(shader);
    if (!messages.empty() && log)
        *log += (type == GL_VERTEX_SHADER ? "vertex: " : "fragment: ") + messages;
    if (!ok) {
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

const char* GlShaderCompiler::AttributeName(unsigned location)
{
    return location < ATTRIBUTE_COUNT ? ATTRIBUTE_NAMES[location] : nullptr;
}

std::string GlShaderCompiler::Prepare(const char* source, bool vertexStage, bool clipControl)
{
    std::string text = source ? source : "";
    // The version directive must stay the first line; what we add goes right after it.
    size_t insertAt = 0;
    size_t version = text.find("#version");
    if (version == std::string::npos) {
        text.insert(0, "#version 330 core\n");
        insertAt = std::strlen("#version 330 core\n");
    } else {
        size_t end = text.find('\n', version);
        if (end == std::string::npos) {
            text += '\n';
            end = text.size() - 1;
        }
        insertAt = end + 1;
    }
    if (vertexStage && !clipControl) {
        text.insert(insertAt, "#define main VarnholtProgramMain\n");
        text += "\n#undef main\nvoid main()\n{\n    VarnholtProgramMain();\n"
                "    gl_Position.y = -gl_Position.y;\n"
                "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n}\n";
    }
    return text;
}

GLuint GlShaderCompiler::Link(const std::string& vertexSource, const std::string& fragmentSource,
                              bool bindAttributeNames, std::string* log)
{
    if (log)
        log->clear();
    GLuint vertex = Compile(GL_VERTEX_SHADER, vertexSource, log);
    GLuint fragment = Compile(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!vertex || !fragment) {
        if (vertex)
            glDeleteShader(vertex);
        if (fragment)
            glDeleteShader(fragment);
        return 0;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    if (bindAttributeNames) {
        for (unsigned i = 0; i < ATTRIBUTE_COUNT; ++i)
            glBindAttribLocation(program, i, ATTRIBUTE_NAMES[i]);
    }
    glLinkProgram(program);
    glDetachShader(program, vertex);
    glDetachShader(program, fragment);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    std::string messages = ProgramLog(program);
    if (!messages.empty() && log)
        *log += "link: " + messages;
    if (!ok) {
        glDeleteProgram(program);
        return 0;
    }
    return program;
}
