#include "core/InputManager.h"
#include "scene/CameraTarget.h"
#include "scene/SceneFixture.h"
#include "scene/Terrain.h"
#include "win32/InputState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

// SDL scan codes are the USB keyboard usage numbers.
constexpr int USB_A = 4;
constexpr int USB_D = 7;
constexpr int USB_S = 22;
constexpr int USB_W = 26;

class FakeTarget : public CameraTarget
{
public:
    D3DXVECTOR3 position{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 first{0.0f, 0.0f, 1.0f};
    D3DXVECTOR3 second{1.0f, 0.0f, 0.0f};
    bool aiming = false;
    D3DXVECTOR3 GetTargetPosition() const override { return position; }
    void GetOrientationAxes(D3DXVECTOR3& a, D3DXVECTOR3& b) const override
    {
        a = first;
        b = second;
    }
    bool HasTargetOfItsOwn() const override { return aiming; }
};

class CameraFollowTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        SceneFixture::SetUp();
        InputState::Get().Reset();
        InputManager::ResetForTests();
        InputManager* input = InputManager::Get();
        input->Init(reinterpret_cast<HINSTANCE>(uintptr_t{0x3000}), reinterpret_cast<HWND>(uintptr_t{0x2000}), 0);
        input->BindMouseName("RBUTTON", 1);
        terrain = std::make_unique<Terrain>();
        terrain->Init();
        Terrain::SetCurrent(terrain.get());
    }
    void TearDown() override
    {
        Terrain::SetCurrent(nullptr);
        terrain.reset();
        InputManager::ResetForTests();
        InputState::Get().Reset();
        SceneFixture::TearDown();
    }
    void Keys(std::initializer_list<int> down)
    {
        for (int key : {USB_A, USB_D, USB_S, USB_W})
            InputState::Get().InjectKey(key, std::find(down.begin(), down.end(), key) != down.end());
        InputManager::Get()->Update();
    }
    std::unique_ptr<Terrain> terrain;
    FakeTarget target;
};

float Yaw(const D3DXVECTOR3& forward)
{
    return std::atan2(forward.x, forward.z);
}

} // namespace

TEST_F(CameraFollowTest, FollowingEasesTheLookAtAndTheEyeTowardTheTarget)
{
    Camera* camera = Camera::Get();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 200.0f, -1000.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    target.position = D3DXVECTOR3(1000.0f, 0.0f, 1000.0f);
    camera->SetTarget(&target);
    Frame(0.0f); // no zoom step
    camera->FollowTarget();
    // look-at += (target + 100 up - look-at) x 0.025; wanted eye = look-at - forward x 2000.
    EXPECT_FLOAT_EQ(camera->GetLookAt().x, 25.0f);
    EXPECT_FLOAT_EQ(camera->GetLookAt().y, 2.5f);
    EXPECT_FLOAT_EQ(camera->GetEye().x, 6.25f);
    EXPECT_FLOAT_EQ(camera->GetEye().z, -1243.75f);
    EXPECT_FLOAT_EQ(camera->GetEye().y, 1250.0f);
}

// The look-at closes 2.5% of its distance to the aim each frame: from 2000 away, 2000 x 0.975^n is 1.006 after 300
// frames and 0.47 after 330. Within half a unit (a fifth of a pixel) the follow ends exactly on the aim, the eye
// exactly where it is wanted, and the view stands still to the bit, so that the world's picture may be kept.
TEST_F(CameraFollowTest, AFollowWithinAFifthOfAPixelOfItsAimComesToRestOnIt)
{
    Camera* camera = Camera::Get();
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 1250.0f, -2000.0f), D3DXVECTOR3(0.0f, 100.0f, 0.0f));
    // 2000 away from the look-at along x, level with it (the aim is 100 above the target).
    target.position = D3DXVECTOR3(2000.0f, 0.0f, 0.0f);
    camera->SetTarget(&target);
    Frame(0.0f); // no zoom step
    const D3DXVECTOR3 aim(2000.0f, 100.0f, 0.0f);
    for (int frame = 0; frame < 300; ++frame)
        camera->Update();
    EXPECT_GT(aim.x - camera->GetLookAt().x, 0.9f) << "still gliding after 300 frames";
    D3DXMATRIX last = camera->GetView();
    int restingSince = -1;
    for (int frame = 300; frame < 340; ++frame) {
        camera->Update();
        const bool same = std::memcmp(&last, &camera->GetView(), sizeof last) == 0;
        if (same && restingSince < 0)
            restingSince = frame;
        if (restingSince >= 0) {
            EXPECT_TRUE(same) << "once at rest the view stays, frame " << frame;
        }
        last = camera->GetView();
    }
    EXPECT_GE(restingSince, 320);
    EXPECT_LE(restingSince, 335);
    EXPECT_EQ(camera->GetLookAt(), aim);
    // The eye ends exactly 2000 behind the look-at along the view's forward.
    const D3DXVECTOR3 wanted = aim - camera->GetForward() * camera->GetCurrentDistance();
    EXPECT_EQ(camera->GetEye().x, wanted.x);
    EXPECT_EQ(camera->GetEye().z, wanted.z);
}

TEST_F(CameraFollowTest, AnEyeThatWouldSinkIsLiftedAboveTheGround)
{
    LevelBytes level;
    for (int x = 0; x < 128; ++x)
        for (int z = 0; z < 128; ++z)
            level.Height(x, z, 3000.0f);
    WriteLevel("high.txt", level);
    ASSERT_TRUE(terrain->LoadLevel("high.txt"));
    Camera* camera = Camera::Get();
    camera->SetEyeAndTarget(D3DXVECTOR3(8000.0f, 0.0f, 8000.0f), D3DXVECTOR3(8000.0f, 0.0f, 9000.0f));
    target.position = D3DXVECTOR3(8000.0f, 3000.0f, 10000.0f);
    camera->SetTarget(&target);
    camera->FollowTarget();
    EXPECT_FLOAT_EQ(camera->GetEye().y, 3100.0f) << "1250 would be under the 3000 of the ground";
}

TEST_F(CameraFollowTest, KeysZoomAndOrbitOnlyWhileATargetIsFollowed)
{
    Camera* camera = Camera::Get();
    Frame(0.016f);
    Keys({USB_W});
    camera->Update();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2000.0f) << "no target: no zoom keys";
    camera->SetTarget(&target);
    camera->Update();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 1950.0f);
    Keys({USB_S});
    camera->Update();
    camera->Update();
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2050.0f);

    struct Case {
        std::initializer_list<int> keys;
        float turn; // radians per frame at dt 0.016: 0.016 x 0.5 x 1.5 = 0.012
    };
    const Case cases[] = {{{USB_A}, 0.012f}, {{USB_D}, -0.012f}, {{USB_A, USB_D}, 0.012f}};
    for (const Case& c : cases) {
        Keys(c.keys);
        const float before = Yaw(camera->GetForward());
        camera->HandleMouseFollow();
        // The yaw of a row-vector RotationY(a) grows by a.
        EXPECT_NEAR(Yaw(camera->GetForward()) - before, c.turn, 1e-5f);
    }
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 10.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 10.0f));
    EXPECT_EQ(camera->GetTarget(), nullptr) << "a placement ends the follow";
}

TEST_F(CameraFollowTest, TargetAxesGiveTheViewsUpAndTheGameOverViewTurnsOnlyAtAnAimingTarget)
{
    Camera* camera = Camera::Get();
    target.first = D3DXVECTOR3(0.0f, 0.0f, 1.0f);
    target.second = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    camera->SetTarget(&target);
    camera->SetEyeAndTarget(D3DXVECTOR3(0.0f, 0.0f, -10.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    camera->SetTarget(&target);
    Frame(0.1f);
    const float before = Yaw(camera->GetForward());
    camera->Orbit();
    EXPECT_FLOAT_EQ(Yaw(camera->GetForward()), before) << "the unit aims at nothing";
    target.aiming = true;
    camera->Orbit();
    // The swing: -(0.1 x 0.1 x 2), clamped to 0.025.
    EXPECT_NEAR(Yaw(camera->GetForward()) - before, -0.02f, 1e-5f);
    EXPECT_FLOAT_EQ(camera->GetTargetDistance(), 2500.0f);
}

TEST_F(CameraFollowTest, PresetsLookAtTheTerrainCentreFromTheNearSide)
{
    LevelBytes level;
    level.Height(64, 64, 200.0f);
    WriteLevel("centre.txt", level);
    ASSERT_TRUE(terrain->LoadLevel("centre.txt"));
    Camera* camera = Camera::Get();
    camera->SetProjection();
    struct Case {
        int preset;
        float eyeZ;
    };
    for (const Case& c : {Case{0, 12884.0f}, Case{1, 12884.0f}, Case{2, 13884.0f}}) {
        camera->SetPreset(c.preset);
        EXPECT_FLOAT_EQ(camera->GetEye().x, 16384.0f);
        EXPECT_FLOAT_EQ(camera->GetEye().y, 1700.0f);
        EXPECT_FLOAT_EQ(camera->GetEye().z, c.eyeZ);
        EXPECT_FLOAT_EQ(camera->GetLookAt().y, 1600.0f);
        EXPECT_FLOAT_EQ(camera->GetLookAt().z, 16384.0f);
        camera->UpdateFrustum();
        // The eye lies on the four side planes and 200 behind the near plane.
        const D3DXPLANE* planes = camera->GetFrustumPlanes();
        const D3DXVECTOR3& eye = camera->GetEye();
        EXPECT_NEAR(D3DXPlaneDotCoord(&planes[0], &eye), -200.0f, 0.5f);
        for (int p = 2; p < 6; ++p)
            EXPECT_NEAR(D3DXPlaneDotCoord(&planes[p], &eye), 0.0f, 0.5f) << p;
    }
}
