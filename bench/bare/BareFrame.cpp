// The cheapest frame that does the work of an empty game frame, written straight against SDL and OpenGL:
// clear an offscreen colour and depth target of the window's size, draw it over the window, swap. The game
// frame's cost is judged against this one, measured on the same machine in the same run.
//
// bare_frame [seconds]: prints "bare_frame_ms <mean milliseconds per frame>" after a short warm-up.
#include <SDL.h>
#include <epoxy/gl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int WIDTH = 1024;
constexpr int HEIGHT = 768;
constexpr int WARM_UP_FRAMES = 10;

GLuint Compile(GLenum kind, const char* source)
{
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "bare_frame: no display: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("bare frame", 0, 0, WIDTH, HEIGHT, SDL_WINDOW_OPENGL);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) {
        std::fprintf(stderr, "bare_frame: no OpenGL 3.3 context: %s\n", SDL_GetError());
        return 1;
    }
    SDL_GL_SetSwapInterval(0);

    GLuint colour = 0;
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, WIDTH, HEIGHT, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    GLuint depth = 0;
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, WIDTH, HEIGHT);
    GLuint target = 0;
    glGenFramebuffers(1, &target);
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);

    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, "#version 330 core\nout vec2 uv;\nvoid main() {\n"
                                                      "  vec2 c = vec2(gl_VertexID & 1, gl_VertexID >> 1) * 2.0;\n"
                                                      "  gl_Position = vec4(c * 2.0 - 1.0, 0.0, 1.0); uv = c;\n}\n"));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, "#version 330 core\nuniform sampler2D image;\nin vec2 uv;\n"
                                                        "out vec4 colour;\n"
                                                        "void main() { colour = texture(image, uv); }\n"));
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        std::fprintf(stderr, "bare_frame: the copy program did not link\n");
        return 1;
    }
    GLuint vertexArray = 0;
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);

    auto frame = [&]() {
        glBindFramebuffer(GL_FRAMEBUFFER, target);
        glViewport(0, 0, WIDTH, HEIGHT);
        glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glUseProgram(program);
        glBindTexture(GL_TEXTURE_2D, colour);
        glDrawArrays(GL_TRIANGLES, 0, 3);
        SDL_GL_SwapWindow(window);
        SDL_Event event;
        while (SDL_PollEvent(&event)) { }
    };
    for (int i = 0; i < WARM_UP_FRAMES; ++i)
        frame();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    long frames = 0;
    std::chrono::duration<double> elapsed{};
    do {
        frame();
        ++frames;
        elapsed = Clock::now() - start;
    } while (elapsed.count() < seconds);
    std::printf("bare_frame_ms %.3f\n", elapsed.count() * 1000.0 / static_cast<double>(frames));

    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
