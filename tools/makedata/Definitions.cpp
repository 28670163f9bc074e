#include "Writers.h"

void WriteDefinitions(const std::filesystem::path&)
{
}
