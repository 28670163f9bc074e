#include "Writers.h"

void WriteSounds(const std::filesystem::path&)
{
}
