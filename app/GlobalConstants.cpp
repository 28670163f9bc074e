#include "app/GlobalConstants.h"

std::vector<TextLabel*> SpriteDrawQueue;
