#pragma once
// The capability record of our HAL device before a back end adjusts it: what the game's start-up
// checks require, and limits generous enough that the device, not the caps, decides what fails.

#include "d3d9/D3D9.h"

void FillHalCaps(UINT adapter, D3DCAPS9* caps);
