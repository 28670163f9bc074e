#pragma once
// One particle of an emitter's pool. Colours are on the 0..255 scale of the final vertex colour.

#include "d3dx9/D3DX9Math.h"

struct Particle {
    D3DXVECTOR3 position;
    D3DXVECTOR3 direction; // velocity direction, not normalised
    D3DXVECTOR3 colour;
    D3DXVECTOR3 directionDrift;
    D3DXVECTOR3 colourOffset;
    float speedOffset = 0.0f;
    float sizeOffset = 0.0f;
    int lastRandomKey = -1;
    float speed = 0.0f;
    float size = 0.0f;
    float age = 0.0f;
    float life = 0.0f;
    bool alive = false;

    void Reset() { *this = Particle{}; }

    // One explicit Euler step under the key values in force for this particle.
    void Integrate(float dt, const D3DXVECTOR3& keyDirection, const D3DXVECTOR3& keyColour, float keySpeed,
                   float keySize)
    {
        age += dt;
        direction += (keyDirection + directionDrift) * dt;
        colour += (keyColour + colourOffset - colour) * dt;
        speed += (speedOffset - speed + keySpeed) * dt;
        size += (sizeOffset - size + keySize) * 2.0f * dt;
        position += direction * (speed * dt);
        if (age >= life)
            alive = false;
    }
};
