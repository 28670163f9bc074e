#include "SimulatedPointer.h"

#include "battle/Hex.h"

SimulatedPointer::SimulatedPointer()
{
    Register(this);
}

SimulatedPointer::~SimulatedPointer()
{
    if (Get() == this)
        Register(nullptr);
}

void SimulatedPointer::AimAt(const Hex& hex)
{
    origin = D3DXVECTOR3(hex.CentreX(), kRayHeight, hex.CentreZ());
}

void SimulatedPointer::AimAway()
{
    origin = D3DXVECTOR3(-1.0e6f, kRayHeight, -1.0e6f);
}
