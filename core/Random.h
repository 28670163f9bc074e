#pragma once
// The game's random numbers, with the recurrence of the C runtime the game was written against
// (state := state x 214013 + 2531011, result (state >> 16) & 0x7fff, 0..32767), so a seed gives the same
// sequence on every platform. Each thread has its own generator: before any seed of its own a thread's state
// is 1, and Srand seeds the calling thread only.

struct D3DVECTOR;

// The runtime pair as the game calls it. Srand(seed) sets the calling thread's state; Rand() draws its next
// number.
void Srand(unsigned int seed);
int Rand();

// Rand() % n (the remainder keeps the sign of the dividend, so the result is 0..n-1 for n > 0). n = 0 has no
// remainder: the draw is made and 0 returned.
int RandomInt(int n);
// a + Rand() x (1/32767) x (b - a): from a to b, both included.
float RandomFloat(float a, float b);
// Each component uniformly in -h..h for the half-ranges x, y, z, drawn in that order.
void RandomVector(float x, float y, float z, D3DVECTOR& out);
// A point on a horizontal circle of radius r around the origin, with a height from -1 to 1 that r does not
// scale: the height is drawn first, then the angle.
void RandomDirection(float r, D3DVECTOR& out);
