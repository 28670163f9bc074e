// Matrices, quaternions and planes of the maths library.
#include "d3dx9/D3DX9Math.h"

#include <cmath>
#include <cstring>

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    if (!out)
        return out;
    *out = D3DXMATRIX();
    out->_11 = out->_22 = out->_33 = out->_44 = 1.0f;
    return out;
}

BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m)
{
    if (!m)
        return FALSE;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    return *m == identity ? TRUE : FALSE;
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* m1, const D3DXMATRIX* m2)
{
    if (!out || !m1 || !m2)
        return out;
    D3DXMATRIX result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = m1->m[r][0] * m2->m[0][c] + m1->m[r][1] * m2->m[1][c] + m1->m[r][2] * m2->m[2][c] +
                             m1->m[r][3] * m2->m[3][c];
    *out = result;
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m)
{
    if (!out || !m)
        return out;
    D3DXMATRIX result;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            result.m[r][c] = m->m[c][r];
    *out = result;
    return out;
}

namespace {

// The cofactor expansion: the adjugate is written to adj (transposed cofactors), the determinant returned.
float Adjugate(const D3DXMATRIX& a, D3DXMATRIX& adj)
{
    const float* m = &a._11;
    float* inv = &adj._11;
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6] -
              m[8] * m[2] * m[5];
    return m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
}

} // namespace

float D3DXMatrixDeterminant(const D3DXMATRIX* m)
{
    if (!m)
        return 0.0f;
    D3DXMATRIX adjugate;
    return Adjugate(*m, adjugate);
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* determinant, const D3DXMATRIX* m)
{
    if (!out || !m)
        return nullptr;
    D3DXMATRIX adjugate;
    const float det = Adjugate(*m, adjugate);
    if (determinant)
        *determinant = det;
    if (det == 0.0f || !std::isfinite(det))
        return nullptr;
    *out = adjugate * (1.0f / det);
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    const float c = std::cos(angle), s = std::sin(angle);
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    const float c = std::cos(angle), s = std::sin(angle);
    out->_11 = c;
    out->_13 = -s;
    out->_31 = s;
    out->_33 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    const float c = std::cos(angle), s = std::sin(angle);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle)
{
    if (!out || !axis)
        return out;
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    D3DXMatrixIdentity(out);
    out->_11 = t * n.x * n.x + c;
    out->_12 = t * n.x * n.y + s * n.z;
    out->_13 = t * n.x * n.z - s * n.y;
    out->_21 = t * n.x * n.y - s * n.z;
    out->_22 = t * n.y * n.y + c;
    out->_23 = t * n.y * n.z + s * n.x;
    out->_31 = t * n.x * n.z + s * n.y;
    out->_32 = t * n.y * n.z - s * n.x;
    out->_33 = t * n.z * n.z + c;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, float yaw, float pitch, float roll)
{
    if (!out)
        return out;
    D3DXMATRIX z, x, y;
    D3DXMatrixRotationZ(&z, roll);
    D3DXMatrixRotationX(&x, pitch);
    D3DXMatrixRotationY(&y, yaw);
    *out = z * x * y;
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q)
{
    if (!out || !q)
        return out;
    const float x = q->x, y = q->y, z = q->z, w = q->w;
    D3DXMatrixIdentity(out);
    out->_11 = 1.0f - 2.0f * (y * y + z * z);
    out->_12 = 2.0f * (x * y + z * w);
    out->_13 = 2.0f * (x * z - y * w);
    out->_21 = 2.0f * (x * y - z * w);
    out->_22 = 1.0f - 2.0f * (x * x + z * z);
    out->_23 = 2.0f * (y * z + x * w);
    out->_31 = 2.0f * (x * z + y * w);
    out->_32 = 2.0f * (y * z - x * w);
    out->_33 = 1.0f - 2.0f * (x * x + y * y);
    return out;
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    if (!out || !eye || !at || !up)
        return out;
    D3DXVECTOR3 zaxis = *at - *eye;
    D3DXVec3Normalize(&zaxis, &zaxis);
    D3DXVECTOR3 xaxis;
    D3DXVec3Cross(&xaxis, up, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVECTOR3 yaxis;
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f, xaxis.y, yaxis.y, zaxis.y, 0.0f, xaxis.z, yaxis.z, zaxis.z, 0.0f,
                      -D3DXVec3Dot(&xaxis, eye), -D3DXVec3Dot(&yaxis, eye), -D3DXVec3Dot(&zaxis, eye), 1.0f);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovY, float aspect, float zNear, float zFar)
{
    if (!out)
        return out;
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    const float xScale = yScale / aspect;
    const float depthScale = zFar / (zFar - zNear);
    *out = D3DXMATRIX();
    out->_11 = xScale;
    out->_22 = yScale;
    out->_33 = depthScale;
    out->_34 = 1.0f;
    out->_43 = -zNear * depthScale;
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, float width, float height, float zNear, float zFar)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    out->_11 = 2.0f / width;
    out->_22 = 2.0f / height;
    out->_33 = 1.0f / (zFar - zNear);
    out->_43 = zNear / (zNear - zFar);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float left, float right, float bottom, float top, float zNear,
                                       float zFar)
{
    if (!D3DXMatrixIdentity(out))
        return out;
    out->_11 = 2.0f / (right - left);
    out->_22 = 2.0f / (top - bottom);
    out->_33 = 1.0f / (zFar - zNear);
    out->_41 = (left + right) / (left - right);
    out->_42 = (top + bottom) / (bottom - top);
    out->_43 = zNear / (zNear - zFar);
    return out;
}

D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out)
{
    if (out)
        *out = D3DXQUATERNION(0.0f, 0.0f, 0.0f, 1.0f);
    return out;
}

float D3DXQuaternionLength(const D3DXQUATERNION* q)
{
    return q ? std::sqrt(D3DXQuaternionDot(q, q)) : 0.0f;
}

float D3DXQuaternionDot(const D3DXQUATERNION* q1, const D3DXQUATERNION* q2)
{
    return (q1 && q2) ? q1->x * q2->x + q1->y * q2->y + q1->z * q2->z + q1->w * q2->w : 0.0f;
}

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    if (!out || !q)
        return out;
    const float length = D3DXQuaternionLength(q);
    if (length == 0.0f) {
        *out = D3DXQUATERNION();
        return out;
    }
    *out = *q * (1.0f / length);
    return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2)
{
    if (!out || !q1 || !q2)
        return out;
    // The Hamilton product q2 q1: rotating by the result rotates by q1 first.
    const D3DXQUATERNION result(q2->w * q1->x + q2->x * q1->w + q2->y * q1->z - q2->z * q1->y,
                                q2->w * q1->y - q2->x * q1->z + q2->y * q1->w + q2->z * q1->x,
                                q2->w * q1->z + q2->x * q1->y - q2->y * q1->x + q2->z * q1->w,
                                q2->w * q1->w - q2->x * q1->x - q2->y * q1->y - q2->z * q1->z);
    *out = result;
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, float angle)
{
    if (!out || !axis)
        return out;
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, axis);
    const float s = std::sin(angle * 0.5f);
    *out = D3DXQUATERNION(n.x * s, n.y * s, n.z * s, std::cos(angle * 0.5f));
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m)
{
    if (!out || !m)
        return out;
    const float trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f) {
        const float s = 2.0f * std::sqrt(trace + 1.0f); // 4w
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
    } else if (m->_11 >= m->_22 && m->_11 >= m->_33) {
        const float s = 2.0f * std::sqrt(1.0f + m->_11 - m->_22 - m->_33); // 4x
        q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
    } else if (m->_22 >= m->_33) {
        const float s = 2.0f * std::sqrt(1.0f + m->_22 - m->_11 - m->_33); // 4y
        q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
    } else {
        const float s = 2.0f * std::sqrt(1.0f + m->_33 - m->_11 - m->_22); // 4z
        q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2, float t)
{
    if (!out || !q1 || !q2)
        return out;
    float cosine = D3DXQuaternionDot(q1, q2);
    // q and -q are the same rotation: take the shorter way round.
    float sign = 1.0f;
    if (cosine < 0.0f) {
        cosine = -cosine;
        sign = -1.0f;
    }
    float w1 = 1.0f - t;
    float w2 = t;
    if (cosine < 0.9999f) {
        const float angle = std::acos(cosine);
        const float inverseSine = 1.0f / std::sin(angle);
        w1 = std::sin((1.0f - t) * angle) * inverseSine;
        w2 = std::sin(t * angle) * inverseSine;
    }
    w2 *= sign;
    *out = D3DXQUATERNION(w1 * q1->x + w2 * q2->x, w1 * q1->y + w2 * q2->y, w1 * q1->z + w2 * q2->z,
                          w1 * q1->w + w2 * q2->w);
    return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2, const D3DXVECTOR3* p3)
{
    if (!out || !p1 || !p2 || !p3)
        return out;
    const D3DXVECTOR3 edge1 = *p2 - *p1;
    const D3DXVECTOR3 edge2 = *p3 - *p1;
    D3DXVECTOR3 normal;
    D3DXVec3Cross(&normal, &edge1, &edge2);
    D3DXVec3Normalize(&normal, &normal);
    *out = D3DXPLANE(normal.x, normal.y, normal.z, -D3DXVec3Dot(&normal, p1));
    return out;
}

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p)
{
    if (!out || !p)
        return out;
    const float length = std::sqrt(p->a * p->a + p->b * p->b + p->c * p->c);
    if (length == 0.0f) {
        *out = D3DXPLANE();
        return out;
    }
    *out = *p * (1.0f / length);
    return out;
}

float D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return (p && v) ? p->a * v->x + p->b * v->y + p->c * v->z + p->d : 0.0f;
}

float D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return (p && v) ? p->a * v->x + p->b * v->y + p->c * v->z : 0.0f;
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    if (!out || !p || !v1 || !v2)
        return nullptr;
    const D3DXVECTOR3 direction = *v2 - *v1;
    const float denominator = D3DXPlaneDotNormal(p, &direction);
    if (denominator == 0.0f)
        return nullptr;
    const float t = -D3DXPlaneDotCoord(p, v1) / denominator;
    *out = *v1 + direction * t;
    return out;
}

BOOL D3DXIntersectTri(const D3DXVECTOR3* p0, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2, const D3DXVECTOR3* rayPos,
                      const D3DXVECTOR3* rayDir, float* u, float* v, float* dist)
{
    if (!p0 || !p1 || !p2 || !rayPos || !rayDir)
        return FALSE;
    const D3DXVECTOR3 edge1 = *p1 - *p0;
    const D3DXVECTOR3 edge2 = *p2 - *p0;
    D3DXVECTOR3 pvec;
    D3DXVec3Cross(&pvec, rayDir, &edge2);
    const float det = D3DXVec3Dot(&edge1, &pvec);
    // A ray (nearly) parallel to the triangle's plane misses; the bound scales with the sizes involved so
    // that large world coordinates and small triangles are judged alike.
    const float scale = D3DXVec3Length(&edge1) * D3DXVec3Length(&edge2) * D3DXVec3Length(rayDir);
    if (!(std::fabs(det) > scale * 1e-7f))
        return FALSE;
    const float inverseDet = 1.0f / det;
    const D3DXVECTOR3 tvec = *rayPos - *p0;
    const float hitU = D3DXVec3Dot(&tvec, &pvec) * inverseDet;
    if (hitU < 0.0f || hitU > 1.0f)
        return FALSE;
    D3DXVECTOR3 qvec;
    D3DXVec3Cross(&qvec, &tvec, &edge1);
    const float hitV = D3DXVec3Dot(rayDir, &qvec) * inverseDet;
    if (hitV < 0.0f || hitU + hitV > 1.0f)
        return FALSE;
    const float hitDist = D3DXVec3Dot(&edge2, &qvec) * inverseDet;
    if (hitDist < 0.0f)
        return FALSE;
    if (u)
        *u = hitU;
    if (v)
        *v = hitV;
    if (dist)
        *dist = hitDist;
    return TRUE;
}

namespace {

const D3DXVECTOR3& PositionAt(const D3DXVECTOR3* first, DWORD index, DWORD stride)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(first);
    return *reinterpret_cast<const D3DXVECTOR3*>(bytes + static_cast<size_t>(index) * stride);
}

} // namespace

HRESULT D3DXComputeBoundingBox(const D3DXVECTOR3* firstPosition, DWORD numVertices, DWORD stride, D3DXVECTOR3* min,
                               D3DXVECTOR3* max)
{
    if (min)
        *min = D3DXVECTOR3();
    if (max)
        *max = D3DXVECTOR3();
    if (!firstPosition || !min || !max || numVertices == 0 || stride < sizeof(float) * 3)
        return D3DERR_INVALIDCALL;
    *min = *max = PositionAt(firstPosition, 0, stride);
    for (DWORD i = 1; i < numVertices; ++i) {
        const D3DXVECTOR3& p = PositionAt(firstPosition, i, stride);
        D3DXVec3Minimize(min, min, &p);
        D3DXVec3Maximize(max, max, &p);
    }
    return D3D_OK;
}

HRESULT D3DXComputeBoundingSphere(const D3DXVECTOR3* firstPosition, DWORD numVertices, DWORD stride,
                                  D3DXVECTOR3* center, float* radius)
{
    if (center)
        *center = D3DXVECTOR3();
    if (radius)
        *radius = 0.0f;
    if (!firstPosition || !center || !radius || numVertices == 0 || stride < sizeof(float) * 3)
        return D3DERR_INVALIDCALL;
    D3DXVECTOR3 sum;
    for (DWORD i = 0; i < numVertices; ++i)
        sum += PositionAt(firstPosition, i, stride);
    *center = sum / static_cast<float>(numVertices);
    float farthest = 0.0f;
    for (DWORD i = 0; i < numVertices; ++i) {
        const D3DXVECTOR3 offset = PositionAt(firstPosition, i, stride) - *center;
        farthest = std::fmax(farthest, D3DXVec3LengthSq(&offset));
    }
    *radius = std::sqrt(farthest);
    return D3D_OK;
}
