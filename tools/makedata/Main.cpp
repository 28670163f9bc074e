// Writes the default Data tree below the directory given on the command line.
#include "Writers.h"

#include <cstdio>
#include <exception>

// Fontconfig keeps its configuration and font patterns for the life of the process, partly behind pointers a
// leak checker cannot follow. Tearing the text libraries down at exit instead races with Pango's own threads,
// so a sanitizer build of this tool is told here that those allocations are not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig\n";
}

extern "C" const char* __lsan_default_options()
{
    return "print_suppressions=0";
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: makedata <output directory>\n");
        return 1;
    }
    try {
        const std::filesystem::path root(argv[1]);
        WriteDirectories(root);
        WriteDefinitions(root);
        WriteTextures(root);
        WriteHexTextures(root);
        WriteSounds(root);
        WriteEffects(root);
        WriteVideo(root);
        WriteEmitters(root);
        WriteEffectTextures(root);
        WriteModels(root);
        WriteStaticMeshes(root);
        WriteTerrainEffect(root);
        WriteLevels(root);
        WriteUiTextures(root);
        WriteHudTextures(root);
        WriteTurnTextures(root);
        WriteMenuTextures(root);
        ReleaseTextRendering();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "makedata: %s\n", e.what());
        return 1;
    }
    return 0;
}
