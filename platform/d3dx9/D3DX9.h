#pragma once
// Everything of D3DX the game uses, in one include.

#include "d3dx9/D3DX9Core.h"
#include "d3dx9/D3DX9Math.h"
#include "d3dx9/D3DX9Mesh.h"
