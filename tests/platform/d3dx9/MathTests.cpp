#include "d3dx9/D3DX9Math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

constexpr float kTol = 1e-5f;

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z, float tol = kTol)
{
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void ExpectMatrix(const D3DXMATRIX& m, const D3DXMATRIX& expected, float tol = kTol)
{
    for (UINT r = 0; r < 4; ++r)
        for (UINT c = 0; c < 4; ++c)
            EXPECT_NEAR(m(r, c), expected(r, c), tol) << "row " << r << " col " << c;
}

D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

} // namespace

TEST(D3DXMath, PerspectiveFovMatchesTheCameraValues)
{
    D3DXMATRIX proj;
    ASSERT_EQ(D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4.0f, 4.0f / 3.0f, 200.0f, 40000.0f), &proj);
    // cot(pi/8) = 2.4142136; / (4/3) = 1.8106602; 40000 / 39800 = 1.0050251; -200 x that = -201.00502.
    const D3DXMATRIX expected(1.8106601f, 0, 0, 0, 0, 2.4142137f, 0, 0, 0, 0, 1.0050251f, 1.0f, 0, 0, -201.00502f, 0);
    ExpectMatrix(proj, expected, 2e-5f);

    // The near plane lands on depth 0 and the far plane on depth 1.
    EXPECT_NEAR(Transform(D3DXVECTOR3(0, 0, 200), proj).z, 0.0f, 1e-5f);
    EXPECT_NEAR(Transform(D3DXVECTOR3(0, 0, 40000), proj).z, 1.0f, 1e-5f);
    // A point on the edge of the field of view lands on the edge of clip space (w divide by z).
    ExpectVec(Transform(D3DXVECTOR3(400.0f / 1.8106601f, -400.0f / 2.4142137f, 400), proj), 1.0f, -1.0f,
              (400.0f * 1.0050251f - 201.00502f) / 400.0f, 1e-4f);
}

TEST(D3DXMath, LookAtBuildsALeftHandedView)
{
    // Camera on +x looking at the origin: forward is -x, and in a left-handed view right is +z.
    const D3DXVECTOR3 eye(10, 0, 0), at(0, 0, 0), up(0, 1, 0);
    D3DXMATRIX view;
    ASSERT_EQ(D3DXMatrixLookAtLH(&view, &eye, &at, &up), &view);
    const D3DXMATRIX expected(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 10, 1);
    ExpectMatrix(view, expected);

    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0), view), 0, 0, 10);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 5), view), 5, 0, 10);
    ExpectVec(Transform(D3DXVECTOR3(0, 3, 0), view), 0, 3, 10);
    ExpectVec(Transform(eye, view), 0, 0, 0);

    // An up vector that is not unit length or not perpendicular gives the same view.
    const D3DXVECTOR3 slantedUp(3, 5, 0);
    D3DXMATRIX view2;
    D3DXMatrixLookAtLH(&view2, &eye, &at, &slantedUp);
    ExpectMatrix(view2, expected);
}

TEST(D3DXMath, InverseOfKnownAndSingularMatrices)
{
    // Scale (2, 4, 8) then move by (1, 2, 3): undo by moving back and dividing.
    const D3DXMATRIX m(2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1);
    D3DXMATRIX inverse;
    float det = 0.0f;
    ASSERT_EQ(D3DXMatrixInverse(&inverse, &det, &m), &inverse);
    EXPECT_NEAR(det, 64.0f, kTol);
    ExpectMatrix(inverse, D3DXMATRIX(0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, 0.125f, 0, -0.5f, -0.5f, -0.375f, 1));

    // A shear: [[2 0][1 1]] has the inverse 1/2 [[1 0][-1 2]].
    const D3DXMATRIX shear(2, 0, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    ASSERT_NE(D3DXMatrixInverse(&inverse, nullptr, &shear), nullptr);
    ExpectMatrix(inverse, D3DXMATRIX(0.5f, 0, 0, 0, -0.5f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // In place: the output may be the input.
    D3DXMATRIX inPlace = m;
    ASSERT_EQ(D3DXMatrixInverse(&inPlace, nullptr, &inPlace), &inPlace);
    ExpectMatrix(inPlace * m, D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));

    // Two equal rows: singular. Null is returned and the output is left alone.
    const D3DXMATRIX singular(1, 2, 3, 4, 1, 2, 3, 4, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX untouched(7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7);
    det = 99.0f;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(untouched(2, 1), 7.0f);
    EXPECT_EQ(D3DXMatrixInverse(&untouched, nullptr, nullptr), nullptr);
}

TEST(D3DXMath, RotationsFollowTheLeftHandedRowVectorConvention)
{
    const float quarter = D3DX_PI / 2.0f;
    D3DXMATRIX rotY, rotX, rotZ, rotAxis;
    D3DXMatrixRotationY(&rotY, quarter);
    D3DXMatrixRotationX(&rotX, quarter);
    D3DXMatrixRotationZ(&rotZ, quarter);

    // (1,0,0) x RotationY(90): the first row (cos, 0, -sin) = (0, 0, -1).
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), rotY), 0, 0, -1);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 1), rotY), 1, 0, 0);
    ExpectVec(Transform(D3DXVECTOR3(0, 1, 0), rotX), 0, 0, 1);
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), rotZ), 0, 1, 0);

    // An arbitrary axis, not unit length, about y is the same rotation.
    const D3DXVECTOR3 axisY(0, 2, 0);
    D3DXMatrixRotationAxis(&rotAxis, &axisY, quarter);
    ExpectMatrix(rotAxis, rotY);

    // 120 degrees about (1,1,1) cycles the axes: x -> y -> z -> x.
    const D3DXVECTOR3 diagonal(1, 1, 1);
    D3DXMatrixRotationAxis(&rotAxis, &diagonal, 2.0f * D3DX_PI / 3.0f);
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), rotAxis), 0, 1, 0);
    ExpectVec(Transform(D3DXVECTOR3(0, 1, 0), rotAxis), 0, 0, 1);

    D3DXMATRIX ypr;
    D3DXMatrixRotationYawPitchRoll(&ypr, quarter, 0.0f, 0.0f);
    ExpectMatrix(ypr, rotY);
    // Roll first, then pitch, then yaw: (1,0,0) rolls to (0,1,0), pitches to (0,0,1), yaws to (1,0,0).
    D3DXMatrixRotationYawPitchRoll(&ypr, quarter, quarter, quarter);
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), ypr), 1, 0, 0);

    // Rotations are orthonormal: the inverse is the transpose.
    D3DXMATRIX inverse, transpose;
    D3DXMatrixInverse(&inverse, nullptr, &rotAxis);
    D3DXMatrixTranspose(&transpose, &rotAxis);
    ExpectMatrix(inverse, transpose);
}

TEST(D3DXMath, MatrixProductAppliesTheLeftOperandFirst)
{
    D3DXMATRIX translate, scale, product;
    D3DXMatrixTranslation(&translate, 1, 2, 3);
    D3DXMatrixScaling(&scale, 2, 2, 2);
    D3DXMatrixMultiply(&product, &translate, &scale);
    // Move (0,0,0) to (1,2,3), then double it.
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0), product), 2, 4, 6);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0), scale * translate), 1, 2, 3);
    EXPECT_EQ(product(3, 0), 2.0f);
    EXPECT_EQ(product._42, 4.0f);
    EXPECT_TRUE(product == translate * scale);
    EXPECT_FALSE(product == scale * translate);

    D3DXMATRIX accumulated = translate;
    accumulated *= scale;
    EXPECT_TRUE(accumulated == product);
    D3DXMatrixMultiply(&accumulated, &accumulated, &accumulated); // in place, aliasing both inputs
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0), accumulated), 6, 12, 18);

    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_TRUE(D3DXMatrixIsIdentity(&identity));
    EXPECT_TRUE(translate - translate + identity == identity);
    EXPECT_EQ((2.0f * identity)(1, 1), 2.0f);
    const float* raw = identity;
    EXPECT_EQ(raw[5], 1.0f);
    EXPECT_EQ(raw[4], 0.0f);
}

TEST(D3DXMath, OrthographicProjections)
{
    // Screen layout: (0,0) top-left to (1024,768) bottom-right onto clip space.
    D3DXMATRIX ortho;
    D3DXMatrixOrthoOffCenterLH(&ortho, 0, 1024, 768, 0, 0, 1);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 0.5f), ortho), -1, 1, 0.5f);
    ExpectVec(Transform(D3DXVECTOR3(1024, 768, 1), ortho), 1, -1, 1);

    D3DXMatrixOrthoLH(&ortho, 200, 100, 10, 110);
    ExpectVec(Transform(D3DXVECTOR3(100, -50, 10), ortho), 1, -1, 0);
    ExpectVec(Transform(D3DXVECTOR3(0, 0, 60), ortho), 0, 0, 0.5f);
}

TEST(D3DXMath, TransformsOfPointsAndDirections)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 5, 6, 7);
    const D3DXVECTOR3 v(1, 2, 3);
    D3DXVECTOR3 out;
    ExpectVec(*D3DXVec3TransformCoord(&out, &v, &m), 6, 8, 10);
    ExpectVec(*D3DXVec3TransformNormal(&out, &v, &m), 1, 2, 3);
    D3DXVECTOR4 out4;
    D3DXVec3Transform(&out4, &v, &m);
    EXPECT_EQ(out4, D3DXVECTOR4(6, 8, 10, 1));
    const D3DXVECTOR4 direction(1, 2, 3, 0);
    D3DXVec4Transform(&out4, &direction, &m);
    EXPECT_EQ(out4, D3DXVECTOR4(1, 2, 3, 0));

    // w comes from the fourth column: with _34 = 1 and _44 = 0 it is z, and the point is divided by it.
    D3DXMATRIX homogeneous(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0);
    ExpectVec(Transform(D3DXVECTOR3(2, 4, 8), homogeneous), 0.25f, 0.5f, 1.0f);
}

TEST(D3DXMath, VectorOperations)
{
    D3DXVECTOR3 out;
    const D3DXVECTOR3 zero(0, 0, 0);
    ExpectVec(*D3DXVec3Normalize(&out, &zero), 0, 0, 0);
    const D3DXVECTOR3 threeFour(3, 4, 0);
    ExpectVec(*D3DXVec3Normalize(&out, &threeFour), 0.6f, 0.8f, 0);

    D3DXVECTOR2 out2;
    const D3DXVECTOR2 zero2(0, 0), v2(-3, 4);
    D3DXVec2Normalize(&out2, &zero2);
    EXPECT_EQ(out2, D3DXVECTOR2(0, 0));
    D3DXVec2Normalize(&out2, &v2);
    EXPECT_NEAR(out2.x, -0.6f, kTol);
    EXPECT_NEAR(out2.y, 0.8f, kTol);
    EXPECT_NEAR(D3DXVec2Length(&v2), 5.0f, kTol);

    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    ExpectVec(*D3DXVec3Cross(&out, &x, &y), 0, 0, 1);
    ExpectVec(*D3DXVec3Cross(&out, &y, &x), 0, 0, -1);
    const D3DXVECTOR3 a(1, 2, 3), b(4, -5, 6);
    EXPECT_FLOAT_EQ(D3DXVec3Dot(&a, &b), 12.0f);
    // (2,-5,6) x ... : a x b = (2*6 - 3*-5, 3*4 - 1*6, 1*-5 - 2*4) = (27, 6, -13).
    ExpectVec(*D3DXVec3Cross(&out, &a, &b), 27, 6, -13);
    const D3DXVECTOR3 c(2, 3, 6);
    EXPECT_FLOAT_EQ(D3DXVec3Length(&c), 7.0f);
    EXPECT_FLOAT_EQ(D3DXVec3LengthSq(&c), 49.0f);

    ExpectVec(*D3DXVec3Lerp(&out, &a, &b, 0.5f), 2.5f, -1.5f, 4.5f);
    ExpectVec(*D3DXVec3Add(&out, &a, &b), 5, -3, 9);
    ExpectVec(*D3DXVec3Subtract(&out, &a, &b), -3, 7, -3);
    ExpectVec(*D3DXVec3Scale(&out, &a, -2), -2, -4, -6);

    EXPECT_EQ(a + b, D3DXVECTOR3(5, -3, 9));
    EXPECT_EQ(a - b, D3DXVECTOR3(-3, 7, -3));
    EXPECT_EQ(-a, D3DXVECTOR3(-1, -2, -3));
    EXPECT_EQ(2.0f * a, a * 2.0f);
    EXPECT_EQ(b / 2.0f, D3DXVECTOR3(2, -2.5f, 3));
    EXPECT_NE(a, b);
    D3DXVECTOR3 accumulate = a;
    accumulate += b;
    accumulate -= a;
    accumulate *= 3.0f;
    EXPECT_EQ(accumulate, D3DXVECTOR3(12, -15, 18));
    const D3DVECTOR& base = accumulate;
    EXPECT_EQ(base.y, -15.0f);
}

TEST(D3DXMath, PlanesFromPointsAndDistances)
{
    // The floor y = 2, wound so that its normal points up: (p2-p1) x (p3-p1) = (0,0,1) x (1,0,0) = (0,1,0).
    const D3DXVECTOR3 p1(0, 2, 0), p2(0, 2, 1), p3(1, 2, 0);
    D3DXPLANE plane;
    ASSERT_EQ(D3DXPlaneFromPoints(&plane, &p1, &p2, &p3), &plane);
    EXPECT_NEAR(plane.a, 0, kTol);
    EXPECT_NEAR(plane.b, 1, kTol);
    EXPECT_NEAR(plane.c, 0, kTol);
    EXPECT_NEAR(plane.d, -2, kTol);
    const D3DXVECTOR3 above(1, 5, 1), origin(0, 0, 0);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), 3.0f, kTol);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &origin), -2.0f, kTol);
    EXPECT_NEAR(D3DXPlaneDotNormal(&plane, &above), 5.0f, kTol);

    // The other winding turns the normal down; a large triangle still gives a unit normal.
    const D3DXVECTOR3 q1(0, 0, 0), q2(1000, 0, 0), q3(0, 0, 1000);
    D3DXPlaneFromPoints(&plane, &q1, &q2, &q3);
    EXPECT_NEAR(plane.b, -1.0f, kTol);
    EXPECT_NEAR(D3DXPlaneDotCoord(&plane, &above), -5.0f, kTol);

    const D3DXPLANE unnormalised(0, 0, 4, 8);
    D3DXPlaneNormalize(&plane, &unnormalised);
    EXPECT_EQ(plane, D3DXPLANE(0, 0, 1, 2));

    const D3DXPLANE floor(0, 1, 0, -2);
    D3DXVECTOR3 hit;
    const D3DXVECTOR3 start(3, 0, 1), end(3, 4, 5);
    ASSERT_EQ(D3DXPlaneIntersectLine(&hit, &floor, &start, &end), &hit);
    ExpectVec(hit, 3, 2, 3);
    const D3DXVECTOR3 level(9, 0, 1);
    EXPECT_EQ(D3DXPlaneIntersectLine(&hit, &floor, &start, &level), nullptr);
}

TEST(D3DXMath, IntersectTriHitsAndMisses)
{
    const D3DXVECTOR3 p0(0, 0, 0), p1(1, 0, 0), p2(0, 1, 0);
    float u = -1, v = -1, dist = -1;

    // Straight on from in front: the hit point (0.25, 0.5, 0) = p0 + 0.25 (p1-p0) + 0.5 (p2-p0), 2 units away.
    D3DXVECTOR3 pos(0.25f, 0.5f, -2), dir(0, 0, 1);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(u, 0.25f, kTol);
    EXPECT_NEAR(v, 0.5f, kTol);
    EXPECT_NEAR(dist, 2.0f, kTol);

    // The distance is in units of the direction's length.
    dir = D3DXVECTOR3(0, 0, 4);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(dist, 0.5f, kTol);

    // Either face is hit.
    pos = D3DXVECTOR3(0.25f, 0.5f, 3);
    dir = D3DXVECTOR3(0, 0, -1);
    ASSERT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(dist, 3.0f, kTol);
    EXPECT_TRUE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, nullptr, nullptr, nullptr));

    // Misses leave the outputs alone.
    u = v = dist = -7;
    pos = D3DXVECTOR3(0.25f, 0.5f, 1);
    dir = D3DXVECTOR3(0, 0, 1);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "triangle behind the ray";
    pos = D3DXVECTOR3(-1, 0.25f, 0.5f);
    dir = D3DXVECTOR3(1, 0, 0);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "parallel above the plane";
    pos = D3DXVECTOR3(-1, 0.25f, 0);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "parallel in the plane";
    dir = D3DXVECTOR3(0, 0, 1);
    pos = D3DXVECTOR3(0.6f, 0.6f, -1);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "beyond the hypotenuse";
    pos = D3DXVECTOR3(-0.1f, 0.5f, -1);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "left of the first edge";
    pos = D3DXVECTOR3(0.5f, -0.1f, -1);
    EXPECT_FALSE(D3DXIntersectTri(&p0, &p1, &p2, &pos, &dir, &u, &v, &dist)) << "below the second edge";
    EXPECT_EQ(u, -7.0f);
    EXPECT_EQ(dist, -7.0f);

    // A hex fan triangle far out on the board, picked from 1000 units above: the hit (3032, 0, 2010) is
    // p0 + u (64,0,0) + v (32,0,55.42562) with v = 10 / 55.42562 = 0.1804219 and u = (32 - 32 v) / 64 = 0.4097891.
    const D3DXVECTOR3 h0(3000, 0, 2000), h1(3064, 0, 2000), h2(3032, 0, 2055.42562f);
    pos = D3DXVECTOR3(3032, 1000, 2010);
    dir = D3DXVECTOR3(0, -1, 0);
    ASSERT_TRUE(D3DXIntersectTri(&h0, &h1, &h2, &pos, &dir, &u, &v, &dist));
    EXPECT_NEAR(u, 0.4097891f, 1e-4f);
    EXPECT_NEAR(v, 0.1804219f, 1e-4f);
    EXPECT_NEAR(dist, 1000.0f, 1e-2f);
}

TEST(D3DXMath, ProjectAndUnproject)
{
    const D3DVIEWPORT9 viewport{100, 50, 200, 100, 0.0f, 1.0f};
    D3DXMATRIX half;
    D3DXMatrixScaling(&half, 0.5f, 0.5f, 0.5f);
    // Clip (0.5, 0.5, 0.25): x = 100 + 1.5 x 100, y = 50 + 0.5 x 50.
    const D3DXVECTOR3 point(1.0f, 1.0f, 0.5f);
    D3DXVECTOR3 screen;
    ASSERT_EQ(D3DXVec3Project(&screen, &point, &viewport, nullptr, nullptr, &half), &screen);
    ExpectVec(screen, 250, 75, 0.25f);

    // Through the game's camera projection: the view centre on the near plane is the screen centre.
    const D3DVIEWPORT9 full{0, 0, 1024, 768, 0.0f, 1.0f};
    D3DXMATRIX proj, view;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4.0f, 4.0f / 3.0f, 200.0f, 40000.0f);
    const D3DXVECTOR3 eye(0, 0, -100), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    const D3DXVECTOR3 nearCentre(0, 0, 100);
    D3DXVec3Project(&screen, &nearCentre, &full, &proj, &view, nullptr);
    ExpectVec(screen, 512, 384, 0, 1e-3f);
    // The top-left corner of the view at distance 400 from the eye.
    const D3DXVECTOR3 corner(-400.0f / 1.8106601f, 400.0f / 2.4142137f, 300);
    D3DXVec3Project(&screen, &corner, &full, &proj, &view, nullptr);
    EXPECT_NEAR(screen.x, 0.0f, 1e-2f);
    EXPECT_NEAR(screen.y, 0.0f, 1e-2f);

    D3DXVECTOR3 back;
    const D3DXVECTOR3 pixel(256, 192, 0.5f);
    ASSERT_NE(D3DXVec3Unproject(&back, &pixel, &full, &proj, &view, nullptr), nullptr);
    D3DXVec3Project(&screen, &back, &full, &proj, &view, nullptr);
    ExpectVec(screen, 256, 192, 0.5f, 1e-2f);
}

TEST(D3DXMath, BoundingVolumesReadPositionsWithAStride)
{
    struct Vertex {
        float x, y, z;
        uint32_t colour;
        float u, v;
    };
    const Vertex vertices[] = {{1, -2, 3, 0xFFFFFFFF, 9, 9}, {-4, 5, 0, 0, 99, 99}, {2, 2, -6, 0, -99, -99}};
    D3DXVECTOR3 min, max;
    ASSERT_EQ(D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(vertices), 3, sizeof(Vertex), &min, &max),
              D3D_OK);
    ExpectVec(min, -4, -2, -6);
    ExpectVec(max, 2, 5, 3);
    EXPECT_EQ(D3DXComputeBoundingBox(reinterpret_cast<const D3DXVECTOR3*>(vertices), 0, sizeof(Vertex), &min, &max),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXComputeBoundingBox(nullptr, 3, sizeof(Vertex), &min, &max), D3DERR_INVALIDCALL);

    // Centre (0,1,0); the farthest point (0,3,0) is 2 away.
    const D3DXVECTOR3 points[] = {{1, 0, 0}, {-1, 0, 0}, {0, 3, 0}};
    D3DXVECTOR3 centre;
    float radius = 0;
    ASSERT_EQ(D3DXComputeBoundingSphere(points, 3, sizeof(D3DXVECTOR3), &centre, &radius), D3D_OK);
    ExpectVec(centre, 0, 1, 0);
    EXPECT_NEAR(radius, 2.0f, kTol);
}

TEST(D3DXMath, QuaternionsAgreeWithMatrices)
{
    const float quarter = D3DX_PI / 2.0f;
    const D3DXVECTOR3 yAxis(0, 1, 0), xAxis(3, 0, 0);
    D3DXQUATERNION qy, qx, q;
    D3DXQuaternionRotationAxis(&qy, &yAxis, quarter);
    EXPECT_NEAR(qy.y, 0.7071068f, kTol);
    EXPECT_NEAR(qy.w, 0.7071068f, kTol);

    D3DXMATRIX fromQuat, rotY, rotX;
    D3DXMatrixRotationY(&rotY, quarter);
    D3DXMatrixRotationX(&rotX, quarter);
    ExpectMatrix(*D3DXMatrixRotationQuaternion(&fromQuat, &qy), rotY);

    // q1 x q2 rotates by q1 first: (1,0,0) -> (0,0,-1) by y, then -> (0,1,0) by x.
    D3DXQuaternionRotationAxis(&qx, &xAxis, quarter);
    D3DXQuaternionMultiply(&q, &qy, &qx);
    D3DXMatrixRotationQuaternion(&fromQuat, &q);
    ExpectVec(Transform(D3DXVECTOR3(1, 0, 0), fromQuat), 0, 1, 0);
    ExpectMatrix(fromQuat, rotY * rotX);
    EXPECT_EQ(qy * qx, q);

    // Back from matrices, including a half turn (trace -1) that needs the largest-diagonal branch.
    D3DXQuaternionRotationMatrix(&q, &rotY);
    EXPECT_NEAR(q.y, 0.7071068f, kTol);
    EXPECT_NEAR(q.w, 0.7071068f, kTol);
    D3DXMATRIX halfTurn;
    D3DXMatrixRotationX(&halfTurn, D3DX_PI);
    D3DXQuaternionRotationMatrix(&q, &halfTurn);
    EXPECT_NEAR(std::abs(q.x), 1.0f, kTol);
    EXPECT_NEAR(q.w, 0.0f, kTol);

    // Halfway from no rotation to a quarter turn is an eighth turn (sin and cos of 22.5 degrees).
    D3DXQUATERNION identity;
    D3DXQuaternionIdentity(&identity);
    D3DXQuaternionSlerp(&q, &identity, &qy, 0.5f);
    EXPECT_NEAR(q.y, 0.3826834f, kTol);
    EXPECT_NEAR(q.w, 0.9238795f, kTol);
    // The same rotation written as -q is reached the short way.
    const D3DXQUATERNION negated = -qy;
    D3DXQuaternionSlerp(&q, &identity, &negated, 0.5f);
    EXPECT_NEAR(std::abs(q.y), 0.3826834f, kTol);
    EXPECT_NEAR(std::abs(q.w), 0.9238795f, kTol);

    const D3DXQUATERNION longOne(0, 3, 0, 4);
    D3DXQuaternionNormalize(&q, &longOne);
    EXPECT_NEAR(q.y, 0.6f, kTol);
    EXPECT_NEAR(q.w, 0.8f, kTol);
}

TEST(D3DXMath, ColourConversions)
{
    const D3DXCOLOR fromDword(static_cast<D3DCOLOR>(0x80FF4000));
    EXPECT_FLOAT_EQ(fromDword.a, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(fromDword.r, 1.0f);
    EXPECT_FLOAT_EQ(fromDword.g, 64.0f / 255.0f);
    EXPECT_FLOAT_EQ(fromDword.b, 0.0f);
    EXPECT_EQ(static_cast<D3DCOLOR>(fromDword), 0x80FF4000u);

    // 1.0 or more -> 255, 0 or less -> 0, else trunc(v x 255 + 0.5): 0.5 -> 128, 0.998 -> 254, 0.001 -> 0.
    EXPECT_EQ(static_cast<D3DCOLOR>(D3DXCOLOR(1.2f, 0.5f, -0.1f, 0.998f)), 0xFEFF8000u);
    EXPECT_EQ(static_cast<D3DCOLOR>(D3DXCOLOR(0.001f, 0.003f, 1.0f, 0.0f)), 0x000001FFu);

    const D3DXCOLOR sum = D3DXCOLOR(0.25f, 0.5f, 0.75f, 1.0f) * 2.0f - D3DXCOLOR(0.5f, 0.5f, 0.5f, 0.5f);
    EXPECT_EQ(sum, D3DXCOLOR(0.0f, 0.5f, 1.0f, 1.5f));
}

TEST(D3DXMath, AngleConversions)
{
    EXPECT_NEAR(D3DXToRadian(180.0f), 3.1415927f, kTol);
    EXPECT_NEAR(D3DXToDegree(D3DX_PI / 2.0f), 90.0f, 1e-4f);
}
