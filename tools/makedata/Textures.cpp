#include "Writers.h"

void WriteTextures(const std::filesystem::path&)
{
}
