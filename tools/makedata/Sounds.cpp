#include "Writers.h"

void WriteSounds(const std::filesystem::path& root)
{
    WriteMusic(root);
}
