#include "core/GlobalConstants.h"
