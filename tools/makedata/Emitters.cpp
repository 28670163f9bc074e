// The particle emitter files: every effect the game names, each written in the emitter file format with its
// own look. The files use all three versions of the format, and a few are written with Windows line ends.
#include "DataWriter.h"
#include "Writers.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Vec {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

struct Key {
    float start, scale;
    Vec v;
};
struct Scalar {
    float start, factor, value;
};

struct Emitter {
    std::string name;
    float version = 0.3f; // 0: no header
    std::string blend = "Add";
    std::string texture;
    float rightScale = 1.0f, upScale = 1.0f;
    bool rightFromCamera = true, upFromCamera = true;
    bool firstDirection = false, firstColour = false, firstSize = false, firstSpeed = false;
    Vec origin, spawn, directionVariance, colourVariance, oscillationFrequency;
    Vec oscillationAmplitude{0.0f, 0.0f, 0.0f};
    std::string type = "SPELL";
    std::string shape = "SQUARE";
    int perBurst = 1, pool = 100;
    float life = 1.0f, interval = 0.05f, delay = 0.0f, duration = 1.0f, oscillationSpeed = 1.0f, projectileSpeed = 0.0f,
          sizeVariance = 0.0f, speedVariance = 0.0f, lifeVariance = 0.0f;
    std::vector<Key> directions;
    std::vector<Key> colours;
    std::vector<Scalar> speeds;
    std::vector<Scalar> sizes;
    LineEnd ending = LineEnd::Unix;
};

std::string Number(float f)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(f));
    return text;
}

std::string Vector(const Vec& v)
{
    return Number(v.x) + " " + Number(v.y) + " " + Number(v.z);
}

std::string Flag(bool b)
{
    return b ? "True" : "False";
}

std::vector<std::string> Lines(const Emitter& e)
{
    std::vector<std::string> out;
    if (e.version > 0.0f) {
        out.push_back("Particle Emitter Version " + Number(e.version));
        out.push_back("BlendOp = " + e.blend);
    }
    out.push_back("Texture = " + e.texture);
    out.push_back("RightScale = " + Number(e.rightScale));
    out.push_back("UpScale = " + Number(e.upScale));
    out.push_back("RightFromCamera = " + Flag(e.rightFromCamera));
    out.push_back("UpFromCamera = " + Flag(e.upFromCamera));
    if (e.version >= 0.2f) {
        out.push_back("DirectionFromFirstKey = " + Flag(e.firstDirection));
        out.push_back("ColourFromFirstKey = " + Flag(e.firstColour));
        out.push_back("SizeFromFirstKey = " + Flag(e.firstSize));
        out.push_back("SpeedFromFirstKey = " + Flag(e.firstSpeed));
    }
    out.push_back("Origin = " + Vector(e.origin));
    out.push_back("Unused = 0 0 0");
    out.push_back("SpawnExtents = " + Vector(e.spawn));
    out.push_back("DirectionVariance = " + Vector(e.directionVariance));
    out.push_back("ColourVariance = " + Vector(e.colourVariance) + " 0");
    out.push_back("OscillationFrequency = " + Vector(e.oscillationFrequency));
    out.push_back("OscillationAmplitude = " + Vector(e.oscillationAmplitude));
    out.push_back("Type = " + e.type);
    if (e.version >= 0.3f)
        out.push_back("Shape = " + e.shape);
    out.push_back("PerBurst = " + std::to_string(e.perBurst));
    out.push_back("PoolSize = " + std::to_string(e.pool));
    out.push_back("Life = " + Number(e.life));
    out.push_back("Interval = " + Number(e.interval));
    out.push_back("ProjectileDelay = " + Number(e.delay));
    out.push_back("Duration = " + Number(e.duration));
    out.push_back("OscillationSpeed = " + Number(e.oscillationSpeed));
    out.push_back("ProjectileSpeed = " + Number(e.projectileSpeed));
    out.push_back("SizeVariance = " + Number(e.sizeVariance));
    out.push_back("SpeedVariance = " + Number(e.speedVariance));
    out.push_back("LifeVariance = " + Number(e.lifeVariance));
    out.push_back("");
    if (!e.directions.empty()) {
        out.push_back("[Direction List]");
        for (const Key& k : e.directions)
            out.push_back(Number(k.start) + " " + Number(k.scale) + " Direction = " + Vector(k.v));
    }
    if (!e.colours.empty()) {
        out.push_back("[Color List]");
        for (const Key& k : e.colours)
            out.push_back(Number(k.start) + " " + Number(k.scale) + " Color = " + Vector(k.v) + " 255");
    }
    if (!e.speeds.empty()) {
        out.push_back("[Speed List]");
        for (const Scalar& k : e.speeds)
            out.push_back(Number(k.start) + " " + Number(k.factor) + " " + Number(k.value));
    }
    if (!e.sizes.empty()) {
        out.push_back("[Size List]");
        for (const Scalar& k : e.sizes)
            out.push_back(Number(k.start) + " " + Number(k.factor) + " " + Number(k.value));
    }
    return out;
}

// Particle colours drift toward their key at one unit per second; a key far below zero is how a particle
// fades out within a short life (the vertex channel stops at 0).
constexpr Vec FadeOut{-600.0f, -600.0f, -600.0f};

// Codes of the direction keys' scale.
constexpr float TO_CENTRE = 98.0f;
constexpr float RANDOM_KICK = 99.0f;

std::vector<Emitter> Emitters()
{
    std::vector<Emitter> list;

    // The fireball: a flaming head that leaves an orange trail going dark and smoky behind it.
    {
        Emitter e;
        e.name = "fireballEmitter.txt";
        e.texture = "particleFlame.tga";
        e.type = "PROJECTILE";
        e.firstDirection = e.firstColour = e.firstSize = e.firstSpeed = true;
        e.origin = {0, 120, 0};
        e.spawn = {8, 8, 8};
        e.directionVariance = {0.6f, 0.6f, 0.6f};
        e.colourVariance = {20, 20, 6};
        e.perBurst = 2;
        e.pool = 400;
        e.interval = 0.02f;
        e.life = 0.9f;
        e.lifeVariance = 0.2f;
        e.duration = -1.0f;
        e.delay = 0.3f;
        e.projectileSpeed = 900.0f;
        e.sizeVariance = 4.0f;
        e.directions = {{0, 1, {0, 0.4f, 0}}};
        // Added over each other the flames of the head would burn to white: they start orange-red, not yellow.
        e.colours = {{0, 1, {225, 55, 8}}, {0.2f, 1, {140, 25, 5}}, {0.45f, 1, FadeOut}};
        e.speeds = {{0, 1, 40}};
        e.sizes = {{0, 1, 26}, {0.3f, 1, 12}};
        list.push_back(e);
    }
    // Focus: blue motes drawn in to the unit from a ring around it, then lifted up.
    {
        Emitter e;
        e.name = "focusEmitter.txt";
        e.texture = "particleDot.tga";
        e.shape = "CIRCLE";
        e.firstColour = e.firstSize = true;
        e.origin = {0, 20, 0};
        e.spawn = {110, 0, 0};
        e.colourVariance = {20, 20, 0};
        e.perBurst = 6;
        e.pool = 300;
        e.interval = 0.03f;
        e.life = 1.3f;
        e.duration = 1.5f;
        e.directions = {{0, TO_CENTRE, {}}, {0.7f, 1, {0, 150, 0}}};
        e.colours = {{0, 1, {90, 150, 255}}, {0.5f, 1, {220, 235, 255}}, {0.9f, 1, FadeOut}};
        e.speeds = {{0, 1, 1.5f}};
        e.sizes = {{0, 1, 12}, {0.6f, 1, 6}};
        list.push_back(e);
    }
    // Defend: a wall of gold shards rising slowly around the unit.
    {
        Emitter e;
        e.name = "defendEmitter.txt";
        e.version = 0.2f;
        e.texture = "particleShard.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = true;
        e.origin = {0, 10, 0};
        e.spawn = {70, 0, 70};
        e.perBurst = 8;
        e.pool = 300;
        e.life = 1.2f;
        e.duration = 1.2f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {255, 215, 110}}, {0.6f, 1, {-200, -300, -400}}};
        e.speeds = {{0, 1, 60}};
        e.sizes = {{0, 1, 22}};
        list.push_back(e);
    }
    // The glow on a strengthened unit: pale sparkles rising through it.
    {
        Emitter e;
        e.name = "defaultEmitter.txt";
        e.texture = "particleSpark.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 30, 0};
        e.spawn = {45, 40, 45};
        e.directionVariance = {0.4f, 0, 0.4f};
        e.perBurst = 3;
        e.pool = 150;
        e.life = 1.0f;
        e.duration = 1.5f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {255, 250, 190}}, {0.5f, 1, FadeOut}};
        e.speeds = {{0, 1, 70}};
        e.sizes = {{0, 1, 10}, {0, 0.5f, 10}};
        list.push_back(e);
    }
    // Blood: a spray from the chest that arcs out and falls. It subtracts green and blue, so what is left
    // of the ground beneath is a dark red, whatever its colour.
    {
        Emitter e;
        e.name = "bloodEmitter.txt";
        e.blend = "RevSubtract";
        e.texture = "particleDot.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 90, 0};
        e.spawn = {6, 6, 6};
        e.directionVariance = {5.0f, 2.0f, 5.0f};
        e.perBurst = 30;
        e.pool = 120;
        e.life = 0.9f;
        e.lifeVariance = 0.15f;
        e.duration = 0.1f;
        e.speedVariance = 30.0f;
        e.sizeVariance = 2.0f;
        // Thrown up and out, then pulled down: the second key replaces the first from the start.
        e.directions = {{0, 0, {0, 1, 0}}, {0, 4, {0, -1, 0}}};
        e.colours = {{0, 1, {60, 200, 200}}};
        e.speeds = {{0, 1, 240}};
        e.sizes = {{0, 1, 7}};
        list.push_back(e);
    }
    // A hit: a short burst of white-hot sparks streaking outward.
    {
        Emitter e;
        e.name = "hitEmitter.txt";
        e.texture = "particleSpark.tga";
        e.type = "RAY";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 90, 0};
        e.spawn = {5, 5, 5};
        e.directionVariance = {14, 8, 14};
        e.perBurst = 25;
        e.pool = 80;
        e.life = 0.4f;
        e.lifeVariance = 0.1f;
        e.duration = 0.1f;
        e.directions = {{0, 0, {0, 0.3f, 0}}};
        e.colours = {{0, 1, {255, 245, 200}}, {0.15f, 1, {255, 140, 20}}, {0.25f, 1, FadeOut}};
        e.speeds = {{0, 1, 90}};
        e.sizes = {{0, 1, 4}};
        list.push_back(e);
    }
    // A magic burst: a ring that starts slowly and bursts outward. The particles are pulled to the centre
    // with a negative speed, which pushes them away ever faster.
    {
        Emitter e;
        e.name = "burstEmitter.txt";
        e.texture = "particleDot.tga";
        e.shape = "CIRCLE";
        e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 60, 0};
        e.spawn = {30, 0, 0};
        e.colourVariance = {0, 30, 40};
        e.perBurst = 60;
        e.pool = 180;
        e.life = 0.8f;
        e.duration = 0.1f;
        e.directions = {{0, TO_CENTRE, {}}};
        e.colours = {{0, 1, {200, 170, 255}}, {0.3f, 1, {160, 90, 255}}, {0.55f, 1, FadeOut}};
        e.speeds = {{0, 1, -30}};
        e.sizes = {{0, 1, 14}, {0.2f, 1, 22}};
        list.push_back(e);
    }
    // A buff: green-gold motes spiralling up around the unit.
    {
        Emitter e;
        e.name = "buffEmitter.txt";
        e.texture = "particleSpark.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 10, 0};
        e.oscillationFrequency = {7, 0, 7};
        e.oscillationAmplitude = {55, 0, 55};
        e.perBurst = 2;
        e.pool = 200;
        e.interval = 0.02f;
        e.life = 1.3f;
        e.duration = 1.5f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {150, 255, 90}}, {0.5f, 1, {255, 230, 90}}, {0.9f, 1, FadeOut}};
        e.speeds = {{0, 1, 90}};
        e.sizes = {{0, 1, 11}};
        list.push_back(e);
    }
    // A critical strike: a large red-orange starburst of streaks.
    {
        Emitter e;
        e.name = "CriticalEmitter.txt";
        e.texture = "particleSpark.tga";
        e.type = "RAY";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 90, 0};
        e.spawn = {4, 4, 4};
        e.directionVariance = {22, 14, 22};
        e.perBurst = 45;
        e.pool = 140;
        e.life = 0.55f;
        e.lifeVariance = 0.1f;
        e.duration = 0.1f;
        e.directions = {{0, 0, {0, 0.5f, 0}}};
        e.colours = {{0, 1, {255, 90, 30}}, {0.2f, 1, {255, 200, 60}}, {0.35f, 1, FadeOut}};
        e.speeds = {{0, 1, 120}};
        e.sizes = {{0, 1, 6}};
        list.push_back(e);
    }
    // A death: a pale soul rising in slow wisps.
    {
        Emitter e;
        e.name = "death_emitter_1.txt";
        e.texture = "particleSmoke.tga";
        e.shape = "CIRCLE";
        e.firstDirection = e.firstColour = e.firstSize = true;
        e.origin = {0, 20, 0};
        e.spawn = {35, 0, 0};
        e.directionVariance = {0.3f, 0, 0.3f};
        e.oscillationFrequency = {3, 0, 3};
        e.oscillationAmplitude = {15, 0, 15};
        e.perBurst = 2;
        e.pool = 200;
        e.life = 2.0f;
        e.duration = 2.0f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {110, 150, 255}}, {1.0f, 1, {-150, -100, -50}}};
        e.speeds = {{0, 1, 70}};
        e.sizes = {{0, 1, 18}, {0, 1, 40}};
        e.ending = LineEnd::Windows;
        list.push_back(e);
    }
    // A death: dark smoke spreading low over the ground (subtracted, so it darkens).
    {
        Emitter e;
        e.name = "death_emitter_2.txt";
        e.blend = "RevSubtract";
        e.texture = "particleSmoke.tga";
        e.firstColour = e.firstSize = true;
        e.origin = {0, 15, 0};
        e.spawn = {30, 5, 30};
        e.directionVariance = {60, 4, 60};
        e.perBurst = 1;
        e.interval = 0.08f;
        e.pool = 200;
        e.life = 1.6f;
        e.duration = 1.5f;
        // Subtracted, many puffs over each other add up: each takes only a little light.
        e.colours = {{0, 1, {5, 5, 5}}, {1.0f, 1, {-100, -100, -100}}};
        e.speeds = {{0, 1, 1}};
        e.sizes = {{0, 1, 20}, {0, 1, 60}};
        list.push_back(e);
    }
    // A fizzled spell: a grey puff and a few dull sparks dropping.
    {
        Emitter e;
        e.name = "fizzled_emitter.txt";
        e.version = 0.0f;
        e.texture = "particleSmoke.tga";
        e.origin = {0, 110, 0};
        e.spawn = {15, 10, 15};
        e.directionVariance = {40, 0, 40};
        e.colourVariance = {20, 20, 20};
        e.perBurst = 14;
        e.pool = 60;
        e.life = 0.9f;
        e.duration = 0.15f;
        e.directions = {{0, 30, {0, -1, 0}}};
        e.colours = {{0, 1, {120, 115, 110}}, {0.5f, 1, FadeOut}};
        e.speeds = {{0, 1, 1.5f}};
        e.sizes = {{0, 1, 30}};
        e.ending = LineEnd::Windows;
        list.push_back(e);
    }
    // Invincible: gold flecks that keep swarming about the unit, kicked at random and pulled back in.
    {
        Emitter e;
        e.name = "invincibleEmitter.txt";
        e.texture = "particleShard.tga";
        e.shape = "CIRCLE";
        e.firstColour = e.firstSize = true;
        e.origin = {0, 80, 0};
        e.spawn = {70, 0, 0};
        e.perBurst = 5;
        e.pool = 300;
        e.life = 1.5f;
        e.duration = -1.0f;
        e.directions = {{0, RANDOM_KICK, {400, 0, 0}}, {0.05f, TO_CENTRE, {}}};
        e.colours = {{0, 1, {255, 220, 120}}, {1.0f, 1, FadeOut}};
        e.speeds = {{0, 1, 2.5f}};
        e.sizes = {{0, 1, 14}};
        list.push_back(e);
    }
    // An ice spell: crystals form in a ring on the ground and glitter white before they melt away.
    {
        Emitter e;
        e.name = "IceCrystalRing.txt";
        e.texture = "particleSnow.tga";
        e.shape = "CIRCLE";
        e.firstDirection = e.firstColour = e.firstSpeed = true;
        e.origin = {0, 15, 0};
        e.spawn = {95, 0, 0};
        e.perBurst = 10;
        e.pool = 300;
        e.life = 1.5f;
        e.duration = 0.8f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {140, 210, 255}}, {0.5f, 1, {255, 255, 255}}, {1.1f, 1, FadeOut}};
        e.speeds = {{0, 1, 12}};
        e.sizes = {{0, 1, 26}};
        list.push_back(e);
    }
    // A fire spell: a ring of flames on the ground.
    {
        Emitter e;
        e.name = "FireCrystalRing.txt";
        e.texture = "particleFlame.tga";
        e.shape = "CIRCLE";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 10, 0};
        e.spawn = {95, 0, 0};
        e.directionVariance = {0.2f, 0, 0.2f};
        e.perBurst = 6;
        e.pool = 400;
        e.life = 0.9f;
        e.lifeVariance = 0.2f;
        e.duration = 1.0f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {220, 110, 30}}, {0.3f, 1, {120, 40, 10}}, {0.6f, 1, FadeOut}};
        e.speeds = {{0, 1, 80}};
        e.sizes = {{0, 1, 22}, {0.2f, 1, 10}};
        list.push_back(e);
    }
    // A fire spell's burst: flaming shards thrown outward from the ring's centre.
    {
        Emitter e;
        e.name = "FireCrystalBurst.txt";
        e.texture = "particleShard.tga";
        e.shape = "CIRCLE";
        e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 40, 0};
        e.spawn = {30, 0, 0};
        e.perBurst = 50;
        e.pool = 150;
        e.life = 0.9f;
        e.duration = 0.1f;
        e.directions = {{0, TO_CENTRE, {}}};
        e.colours = {{0, 1, {255, 150, 40}}, {0.35f, 1, {255, 70, 10}}, {0.7f, 1, FadeOut}};
        e.speeds = {{0, 1, -16}};
        e.sizes = {{0, 1, 22}};
        list.push_back(e);
    }
    // Smouldering: embers and a thin smoke over a burnt spot, for as long as it lasts.
    {
        Emitter e;
        e.name = "Smoldering.txt";
        e.texture = "particleDot.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 5, 0};
        e.spawn = {40, 2, 40};
        e.directionVariance = {0.6f, 0, 0.6f};
        e.perBurst = 2;
        e.pool = 200;
        e.interval = 0.04f;
        e.life = 2.0f;
        e.lifeVariance = 0.5f;
        e.duration = -1.0f;
        e.sizeVariance = 2.0f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {255, 120, 30}}, {0.8f, 1, {80, 60, 50}}, {1.4f, 1, FadeOut}};
        e.speeds = {{0, 1, 35}};
        e.sizes = {{0, 1, 8}, {0.8f, 1, 16}};
        list.push_back(e);
    }
    // Smoke: a grey column that rises and spreads as it thins (subtracted, so it darkens what is behind). The
    // puffs overlap a few deep and each takes away what it subtracts, so each one takes only a little.
    {
        Emitter e;
        e.name = "SmokeEmitter.txt";
        e.blend = "RevSubtract";
        e.texture = "particleSmoke.tga";
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 40, 0};
        e.spawn = {15, 5, 15};
        e.directionVariance = {0.25f, 0, 0.25f};
        e.perBurst = 1;
        e.pool = 200;
        e.interval = 0.1f;
        e.life = 3.0f;
        e.lifeVariance = 0.4f;
        e.duration = -1.0f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {5, 5, 5}}, {1.5f, 1, {-60, -60, -60}}};
        e.speeds = {{0, 1, 70}};
        e.sizes = {{0, 1, 16}, {0, 1, 70}};
        e.ending = LineEnd::Windows;
        list.push_back(e);
    }
    // Rain over a level: long thin streaks falling straight down through a wide box.
    {
        Emitter e;
        e.name = "P_AmbientRain.txt";
        e.texture = "particleDot.tga";
        e.type = "AMBIENT";
        e.upFromCamera = false;
        e.rightScale = 0.25f;
        e.upScale = 4.0f;
        e.firstDirection = e.firstColour = e.firstSpeed = e.firstSize = true;
        e.origin = {0, 1200, 0};
        e.spawn = {2500, 50, 2500};
        e.colourVariance = {10, 10, 10};
        e.perBurst = 25;
        e.pool = 1500;
        e.interval = 0.02f;
        e.life = 1.1f;
        e.duration = -1.0f;
        e.speedVariance = 150.0f;
        e.directions = {{0, 0, {0.05f, -1, 0}}};
        e.colours = {{0, 1, {85, 95, 120}}};
        e.speeds = {{0, 1, 1300}};
        e.sizes = {{0, 1, 16}};
        list.push_back(e);
    }
    // Embers drifting up over a burning level, wavering as they go.
    {
        Emitter e;
        e.name = "Fire_EmbersEmitter.txt";
        e.texture = "particleEmber.tga";
        e.type = "AMBIENT";
        e.firstDirection = e.firstColour = e.firstSpeed = true;
        e.origin = {0, 20, 0};
        e.spawn = {1200, 20, 1200};
        e.directionVariance = {0.5f, 0.1f, 0.5f};
        e.oscillationFrequency = {1.3f, 0, 0.9f};
        e.oscillationAmplitude = {60, 0, 60};
        e.perBurst = 10;
        e.pool = 1200;
        e.interval = 0.03f;
        e.life = 3.5f;
        e.lifeVariance = 1.0f;
        e.duration = -1.0f;
        e.sizeVariance = 2.0f;
        e.directions = {{0, 0, {0, 1, 0}}};
        e.colours = {{0, 1, {255, 170, 60}}, {1.5f, 1, {255, 80, 15}}, {2.5f, 1, FadeOut}};
        e.speeds = {{0, 1, 90}};
        e.sizes = {{0, 1, 10}};
        list.push_back(e);
    }
    return list;
}

} // namespace

void WriteEmitters(const std::filesystem::path& root)
{
    const std::filesystem::path directory = DataDirectory(root, "Config Files/Particle Files");
    for (const Emitter& e : Emitters())
        WriteTextFile(directory / e.name, Lines(e), e.ending);
}
