// Effect files: the declaration header and the split into GLSL sections.
#include "d3dx9/EffectFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EffectFile file;
    const bool parsed = file.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!parsed) {
        if (file.Error().empty())
            std::abort();
        return 0;
    }
    // What a parsed file declares must assemble into shader sources.
    for (const EffectTechniqueDecl& technique : file.Techniques())
        for (const EffectPassDecl& pass : technique.passes) {
            (void)file.VertexSource(pass);
            (void)file.FragmentSource(pass, false);
            (void)file.FragmentSource(pass, true);
        }
    return 0;
}
