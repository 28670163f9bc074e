#pragma once
// Small vector and rotation helpers for building models, in the row-vector, left-handed conventions of the
// .x files (y up; a vector v is transformed as v x M).

#include "XFile.h"

#include <cmath>

struct V3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

inline V3 operator+(V3 a, V3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline V3 operator-(V3 a, V3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline V3 operator*(V3 a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}
inline float Dot(V3 a, V3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline V3 Cross(V3 a, V3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(V3 a)
{
    return std::sqrt(Dot(a, a));
}
inline V3 Normalize(V3 a)
{
    const float l = Length(a);
    return l > 1e-12f ? a * (1.0f / l) : V3{0.0f, 1.0f, 0.0f};
}
inline XVector ToX(V3 a)
{
    return {a.x, a.y, a.z};
}

constexpr float Pi = 3.14159265358979f;
inline float Radians(float degrees)
{
    return degrees * Pi / 180.0f;
}

// 3 x 3 rotation, row-vector: v' = v x R.
struct Rotation {
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

inline Rotation Multiply(const Rotation& a, const Rotation& b)
{
    Rotation r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
    return r;
}

inline V3 Apply(V3 v, const Rotation& r)
{
    return {v.x * r.m[0][0] + v.y * r.m[1][0] + v.z * r.m[2][0], v.x * r.m[0][1] + v.y * r.m[1][1] + v.z * r.m[2][1],
            v.x * r.m[0][2] + v.y * r.m[1][2] + v.z * r.m[2][2]};
}

// The axis rotations of the row-vector convention (a positive angle about x turns +y towards +z).
inline Rotation RotationX(float a)
{
    Rotation r;
    r.m[1][1] = std::cos(a);
    r.m[1][2] = std::sin(a);
    r.m[2][1] = -std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}
inline Rotation RotationY(float a)
{
    Rotation r;
    r.m[0][0] = std::cos(a);
    r.m[0][2] = -std::sin(a);
    r.m[2][0] = std::sin(a);
    r.m[2][2] = std::cos(a);
    return r;
}
inline Rotation RotationZ(float a)
{
    Rotation r;
    r.m[0][0] = std::cos(a);
    r.m[0][1] = std::sin(a);
    r.m[1][0] = -std::sin(a);
    r.m[1][1] = std::cos(a);
    return r;
}

// The quaternion whose rotation matrix (in the formula of the .x format's readers) is r.
inline XQuaternion ToQuaternion(const Rotation& r)
{
    const auto& m = r.m;
    XQuaternion q;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q.w = 0.25f * s;
        q.x = (m[1][2] - m[2][1]) / s;
        q.y = (m[2][0] - m[0][2]) / s;
        q.z = (m[0][1] - m[1][0]) / s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const float s = std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]) * 2.0f;
        q.w = (m[1][2] - m[2][1]) / s;
        q.x = 0.25f * s;
        q.y = (m[0][1] + m[1][0]) / s;
        q.z = (m[2][0] + m[0][2]) / s;
    } else if (m[1][1] > m[2][2]) {
        const float s = std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]) * 2.0f;
        q.w = (m[2][0] - m[0][2]) / s;
        q.x = (m[0][1] + m[1][0]) / s;
        q.y = 0.25f * s;
        q.z = (m[1][2] + m[2][1]) / s;
    } else {
        const float s = std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]) * 2.0f;
        q.w = (m[0][1] - m[1][0]) / s;
        q.x = (m[2][0] + m[0][2]) / s;
        q.y = (m[1][2] + m[2][1]) / s;
        q.z = 0.25f * s;
    }
    return q;
}

// The rotation matrix of a quaternion, as the readers of the format build it.
inline Rotation FromQuaternion(const XQuaternion& q)
{
    Rotation r;
    r.m[0][0] = 1 - 2 * (q.y * q.y + q.z * q.z);
    r.m[0][1] = 2 * (q.x * q.y + q.z * q.w);
    r.m[0][2] = 2 * (q.x * q.z - q.y * q.w);
    r.m[1][0] = 2 * (q.x * q.y - q.z * q.w);
    r.m[1][1] = 1 - 2 * (q.x * q.x + q.z * q.z);
    r.m[1][2] = 2 * (q.y * q.z + q.x * q.w);
    r.m[2][0] = 2 * (q.x * q.z + q.y * q.w);
    r.m[2][1] = 2 * (q.y * q.z - q.x * q.w);
    r.m[2][2] = 1 - 2 * (q.x * q.x + q.y * q.y);
    return r;
}
