#include "Writers.h"

void WriteDirectories(const std::filesystem::path&)
{
}
