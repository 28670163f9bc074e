#include "core/GlobalConstants.h"

std::vector<TextLabel*> SpriteDrawQueue;
