#include "d3dx9/D3DX9Math.h"

#include <cmath>
#include <cstring>

D3DXMATRIX::D3DXMATRIX(const float* f) : D3DMATRIX{}
{
    if (f)
        std::memcpy(&_11, f, sizeof(float) * 16);
}

D3DXMATRIX::D3DXMATRIX(float f11, float f12, float f13, float f14, float f21, float f22, float f23, float f24,
                       float f31, float f32, float f33, float f34, float f41, float f42, float f43, float f44)
    : D3DMATRIX{}
{
    _11 = f11;
    _12 = f12;
    _13 = f13;
    _14 = f14;
    _21 = f21;
    _22 = f22;
    _23 = f23;
    _24 = f24;
    _31 = f31;
    _32 = f32;
    _33 = f33;
    _34 = f34;
    _41 = f41;
    _42 = f42;
    _43 = f43;
    _44 = f44;
}

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& other)
{
    D3DXMatrixMultiply(this, this, &other);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& other)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] += other.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& other)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] -= other.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(float f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] *= f;
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator/=(float f)
{
    return *this *= 1.0f / f;
}

D3DXMATRIX D3DXMATRIX::operator-() const
{
    D3DXMATRIX result(*this);
    return result *= -1.0f;
}

D3DXMATRIX D3DXMATRIX::operator*(const D3DXMATRIX& other) const
{
    D3DXMATRIX result;
    D3DXMatrixMultiply(&result, this, &other);
    return result;
}

D3DXMATRIX D3DXMATRIX::operator+(const D3DXMATRIX& other) const
{
    D3DXMATRIX result(*this);
    return result += other;
}

D3DXMATRIX D3DXMATRIX::operator-(const D3DXMATRIX& other) const
{
    D3DXMATRIX result(*this);
    return result -= other;
}

D3DXMATRIX D3DXMATRIX::operator*(float f) const
{
    D3DXMATRIX result(*this);
    return result *= f;
}

D3DXMATRIX D3DXMATRIX::operator/(float f) const
{
    D3DXMATRIX result(*this);
    return result /= f;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& other) const
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != other.m[r][c])
                return false;
    return true;
}

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q)
{
    D3DXQuaternionMultiply(this, this, &q);
    return *this;
}

D3DXQUATERNION D3DXQUATERNION::operator*(const D3DXQUATERNION& q) const
{
    D3DXQUATERNION result;
    D3DXQuaternionMultiply(&result, this, &q);
    return result;
}

D3DXCOLOR::D3DXCOLOR(D3DCOLOR argb)
{
    constexpr float scale = 1.0f / 255.0f;
    a = scale * static_cast<float>((argb >> 24) & 0xFF);
    r = scale * static_cast<float>((argb >> 16) & 0xFF);
    g = scale * static_cast<float>((argb >> 8) & 0xFF);
    b = scale * static_cast<float>(argb & 0xFF);
}

namespace {

DWORD ColourByte(float value)
{
    if (value >= 1.0f)
        return 0xFF;
    if (value <= 0.0f)
        return 0x00;
    return static_cast<DWORD>(value * 255.0f + 0.5f);
}

} // namespace

D3DXCOLOR::operator D3DCOLOR() const
{
    return (ColourByte(a) << 24) | (ColourByte(r) << 16) | (ColourByte(g) << 8) | ColourByte(b);
}

float D3DXVec2Length(const D3DXVECTOR2* v)
{
    return v ? std::sqrt(v->x * v->x + v->y * v->y) : 0.0f;
}

float D3DXVec2LengthSq(const D3DXVECTOR2* v)
{
    return v ? v->x * v->x + v->y * v->y : 0.0f;
}

float D3DXVec2Dot(const D3DXVECTOR2* v1, const D3DXVECTOR2* v2)
{
    return (v1 && v2) ? v1->x * v2->x + v1->y * v2->y : 0.0f;
}

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v)
{
    if (!out || !v)
        return out;
    const float length = D3DXVec2Length(v);
    if (length == 0.0f) {
        out->x = out->y = 0.0f;
        return out;
    }
    out->x = v->x / length;
    out->y = v->y / length;
    return out;
}

float D3DXVec3Length(const D3DXVECTOR3* v)
{
    return v ? std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z) : 0.0f;
}

float D3DXVec3LengthSq(const D3DXVECTOR3* v)
{
    return v ? v->x * v->x + v->y * v->y + v->z * v->z : 0.0f;
}

float D3DXVec3Dot(const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    return (v1 && v2) ? v1->x * v2->x + v1->y * v2->y + v1->z * v2->z : 0.0f;
}

D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (!out || !v1 || !v2)
        return out;
    const D3DXVECTOR3 result(v1->y * v2->z - v1->z * v2->y, v1->z * v2->x - v1->x * v2->z,
                             v1->x * v2->y - v1->y * v2->x);
    *out = result;
    return out;
}

D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (out && v1 && v2)
        *out = D3DXVECTOR3(v1->x + v2->x, v1->y + v2->y, v1->z + v2->z);
    return out;
}

D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (out && v1 && v2)
        *out = D3DXVECTOR3(v1->x - v2->x, v1->y - v2->y, v1->z - v2->z);
    return out;
}

D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, float s)
{
    if (out && v)
        *out = D3DXVECTOR3(v->x * s, v->y * s, v->z * s);
    return out;
}

D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2, float s)
{
    if (out && v1 && v2)
        *out = D3DXVECTOR3(v1->x + s * (v2->x - v1->x), v1->y + s * (v2->y - v1->y), v1->z + s * (v2->z - v1->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (out && v1 && v2)
        *out = D3DXVECTOR3(std::fmin(v1->x, v2->x), std::fmin(v1->y, v2->y), std::fmin(v1->z, v2->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (out && v1 && v2)
        *out = D3DXVECTOR3(std::fmax(v1->x, v2->x), std::fmax(v1->y, v2->y), std::fmax(v1->z, v2->z));
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v)
{
    if (!out || !v)
        return out;
    const float length = D3DXVec3Length(v);
    if (length == 0.0f) {
        *out = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        return out;
    }
    *out = D3DXVECTOR3(v->x / length, v->y / length, v->z / length);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    if (!out || !v || !m)
        return out;
    const float w = v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + m->_44;
    const D3DXVECTOR3 result((v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + m->_41) / w,
                             (v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + m->_42) / w,
                             (v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + m->_43) / w);
    *out = result;
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    if (!out || !v || !m)
        return out;
    const D3DXVECTOR3 result(v->x * m->_11 + v->y * m->_21 + v->z * m->_31,
                             v->x * m->_12 + v->y * m->_22 + v->z * m->_32,
                             v->x * m->_13 + v->y * m->_23 + v->z * m->_33);
    *out = result;
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    if (!out || !v || !m)
        return out;
    const D3DXVECTOR4 point(*v, 1.0f);
    return D3DXVec4Transform(out, &point, m);
}

namespace {

// world x view x projection with null standing for identity.
D3DXMATRIX CombinedTransform(const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX combined;
    D3DXMatrixIdentity(&combined);
    if (world)
        combined = *world;
    if (view)
        D3DXMatrixMultiply(&combined, &combined, view);
    if (projection)
        D3DXMatrixMultiply(&combined, &combined, projection);
    return combined;
}

} // namespace

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                             const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    if (!out || !v || !viewport)
        return out;
    const D3DXMATRIX combined = CombinedTransform(projection, view, world);
    D3DXVECTOR3 clip;
    D3DXVec3TransformCoord(&clip, v, &combined);
    out->x = static_cast<float>(viewport->X) + (1.0f + clip.x) * static_cast<float>(viewport->Width) * 0.5f;
    out->y = static_cast<float>(viewport->Y) + (1.0f - clip.y) * static_cast<float>(viewport->Height) * 0.5f;
    out->z = viewport->MinZ + clip.z * (viewport->MaxZ - viewport->MinZ);
    return out;
}

D3DXVECTOR3* D3DXVec3Unproject(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT9* viewport,
                               const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    if (!out || !v || !viewport || viewport->Width == 0 || viewport->Height == 0)
        return nullptr;
    D3DXMATRIX inverse = CombinedTransform(projection, view, world);
    if (!D3DXMatrixInverse(&inverse, nullptr, &inverse))
        return nullptr;
    const float depthRange = viewport->MaxZ - viewport->MinZ;
    const D3DXVECTOR3 clip(2.0f * (v->x - static_cast<float>(viewport->X)) / static_cast<float>(viewport->Width) - 1.0f,
                           1.0f -
                               2.0f * (v->y - static_cast<float>(viewport->Y)) / static_cast<float>(viewport->Height),
                           depthRange != 0.0f ? (v->z - viewport->MinZ) / depthRange : 0.0f);
    return D3DXVec3TransformCoord(out, &clip, &inverse);
}

float D3DXVec4Dot(const D3DXVECTOR4* v1, const D3DXVECTOR4* v2)
{
    return (v1 && v2) ? v1->x * v2->x + v1->y * v2->y + v1->z * v2->z + v1->w * v2->w : 0.0f;
}

float D3DXVec4Length(const D3DXVECTOR4* v)
{
    return v ? std::sqrt(D3DXVec4Dot(v, v)) : 0.0f;
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m)
{
    if (!out || !v || !m)
        return out;
    const D3DXVECTOR4 result(v->x * m->_11 + v->y * m->_21 + v->z * m->_31 + v->w * m->_41,
                             v->x * m->_12 + v->y * m->_22 + v->z * m->_32 + v->w * m->_42,
                             v->x * m->_13 + v->y * m->_23 + v->z * m->_33 + v->w * m->_43,
                             v->x * m->_14 + v->y * m->_24 + v->z * m->_34 + v->w * m->_44);
    *out = result;
    return out;
}
