#include "Writers.h"

void WriteEffects(const std::filesystem::path&)
{
}
