#pragma once
// The contents of one particle emitter file: the emitter's settings and its four key lists, read token by
// token. A settings record with no file behind it holds the defaults an emitter starts from.

#include "d3dx9/D3DX9Math.h"

#include <iosfwd>
#include <string>
#include <vector>

enum EmitterType
{
    EMITTER_PROJECTILE = 0,
    EMITTER_SPELL = 1,
    EMITTER_AMBIENT = 2,
    EMITTER_RAY = 3,
};

enum EmitterShape
{
    EMITTER_SQUARE = 0,
    EMITTER_CIRCLE = 1,
};

// A direction key's scale codes: steer back to the emitter's centre, or one random kick per particle.
constexpr int DIRECTION_TO_CENTRE = 98;
constexpr int DIRECTION_RANDOM_KICK = 99;

// The shared index table holds this many quads, so no emitter may pool more particles.
constexpr int MAX_PARTICLE_POOL = 1500;

struct DirectionKey {
    float startTime = 0.0f;
    float scale = 0.0f;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct ColourKey {
    float startTime = 0.0f;
    float scale = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

struct ScalarKey {
    float startTime = 0.0f;
    float factor = 0.0f;
    float value = 0.0f;
};

struct EmitterSettings {
    int blendOp = 1; // D3DBLENDOP_ADD; 3 is D3DBLENDOP_REVSUBTRACT
    std::string textureName = "No Texture";
    float rightScale = 1.0f;
    float upScale = 1.0f;
    bool rightFromCamera = true;
    bool upFromCamera = true;
    bool directionFromFirstKey = false;
    bool colourFromFirstKey = false;
    bool sizeFromFirstKey = false;
    bool speedFromFirstKey = false;
    D3DXVECTOR3 origin{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 spawnExtents{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 directionVariance{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 colourVariance{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 oscillationFrequency{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 oscillationAmplitude{1.0f, 1.0f, 1.0f};
    int type = EMITTER_SPELL;
    int shape = EMITTER_SQUARE;
    int perBurst = 1;
    int poolSize = 0;
    float life = 5.0f;
    float interval = 0.1f;
    float projectileDelay = 0.0f;
    float duration = -1.0f;
    float oscillationSpeed = 1.0f;
    float projectileSpeed = 0.0f;
    float sizeVariance = 0.0f;
    float speedVariance = 0.0f;
    float lifeVariance = 0.0f;
};

struct EmitterFile {
    float version = 0.0f;
    EmitterSettings settings;
    std::vector<DirectionKey> directionKeys;
    std::vector<ColourKey> colourKeys;
    std::vector<ScalarKey> speedKeys;
    std::vector<ScalarKey> sizeKeys;

    // Reads a file's text. Whatever could be read stays in *this; a malformed number or entry ends the
    // reading there, and the returned text says where (empty when the whole text was read).
    std::string Parse(std::istream& in);
};
