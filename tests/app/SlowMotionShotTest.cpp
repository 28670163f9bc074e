#include "app/SlowMotionShot.h"

#include "battle/BoardFakes.h"
#include "battle/Object.h"
#include "scene/Camera.h"
#include "support/AppTest.h"

#include <gtest/gtest.h>

namespace {

// A board unit whose body stands at a point, facing along an axis.
class StandingUnit : public FakeUnit
{
public:
    StandingUnit(const D3DXVECTOR3& at, const D3DXVECTOR3& forward, const D3DXVECTOR3& right)
    {
        body.Place(at, forward, right);
    }
    Object* AsObject() override { return &body; }

private:
    class Body : public Object
    {
    public:
        void Place(const D3DXVECTOR3& at, const D3DXVECTOR3& forward, const D3DXVECTOR3& right)
        {
            m_position = at;
            m_forward = forward;
            m_right = right;
        }
    };
    Body body;
};

class SlowMotionShotTest : public AppTest
{
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        camera = Camera::Get();
        camera->SetEyeAndTarget(D3DXVECTOR3(1.0f, 2.0f, 3.0f), D3DXVECTOR3(4.0f, 5.0f, 6.0f));
    }

    void ExpectNear(const D3DXVECTOR3& actual, float x, float y, float z, float tolerance, const char* what)
    {
        EXPECT_NEAR(actual.x, x, tolerance) << what;
        EXPECT_NEAR(actual.y, y, tolerance) << what;
        EXPECT_NEAR(actual.z, z, tolerance) << what;
    }

    Camera* camera = nullptr;
    SlowMotionShot shot;
    // The attacker at the origin facing +z, the defender 1000 along x facing back along -z.
    StandingUnit attacker{D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f), D3DXVECTOR3(1.0f, 0.0f, 0.0f)};
    StandingUnit defender{D3DXVECTOR3(1000.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, -1.0f),
                          D3DXVECTOR3(-1.0f, 0.0f, 0.0f)};
};

TEST_F(SlowMotionShotTest, CutsBehindTheDefenderThenBehindTheAttackerAndGivesTheViewBack)
{
    ASSERT_TRUE(shot.Request(&defender, &attacker, 1.0f, false));
    EXPECT_FALSE(shot.Request(&attacker, &defender, 0.0f, true)) << "one shot at a time";
    EXPECT_EQ(shot.GetTarget(), &defender);

    // The delay runs at full speed.
    SlowMotionShot::Frame frame = shot.Advance(0.5f, *camera);
    EXPECT_FALSE(frame.began);
    EXPECT_FLOAT_EQ(shot.GetGameSpeed(), 1.0f);

    frame = shot.Advance(0.5f, *camera); // 1 s: the shot begins, the game slows to a tenth
    EXPECT_TRUE(frame.began);
    EXPECT_EQ(frame.cuts, 0);
    EXPECT_FLOAT_EQ(shot.GetGameSpeed(), 0.1f);

    // 1.25 s: defender (1000, 0, 0) + its right x 500 (-500, 0, 0) + behind it (0, 0, 500) + lift 300, within
    // the jitter of 50; looking at the attacker lifted 150.
    frame = shot.Advance(0.25f, *camera);
    EXPECT_EQ(frame.cuts, 1);
    ExpectNear(camera->GetEye(), 500.0f, 300.0f, 500.0f, 50.0f, "first eye");
    ExpectNear(camera->GetLookAt(), 0.0f, 150.0f, 0.0f, 1e-3f, "first aim");

    // 4 s: attacker + (500, 0, 0) + (0, 0, -500) + lift, looking at the defender.
    frame = shot.Advance(2.75f, *camera);
    EXPECT_EQ(frame.cuts, 1);
    EXPECT_FALSE(frame.ended);
    ExpectNear(camera->GetEye(), 500.0f, 300.0f, -500.0f, 50.0f, "second eye");
    ExpectNear(camera->GetLookAt(), 1000.0f, 150.0f, 0.0f, 1e-3f, "second aim");

    frame = shot.Advance(3.0f, *camera); // 7 s = delay + 6
    EXPECT_EQ(frame.cuts, 1) << "the end flashes too";
    EXPECT_TRUE(frame.ended);

    shot.End(*camera);
    EXPECT_FALSE(shot.IsRequested());
    EXPECT_EQ(shot.GetTarget(), nullptr);
    EXPECT_FLOAT_EQ(shot.GetClock(), 0.0f);
    EXPECT_FLOAT_EQ(shot.GetGameSpeed(), 1.0f);
    ExpectNear(camera->GetEye(), 1.0f, 2.0f, 3.0f, 1e-4f, "eye given back");
    ExpectNear(camera->GetLookAt(), 4.0f, 5.0f, 6.0f, 1e-4f, "aim given back");
}

TEST_F(SlowMotionShotTest, ALongFrameRunsEveryStepInOrder)
{
    ASSERT_TRUE(shot.Request(&defender, &attacker, 0.5f, true));
    const SlowMotionShot::Frame frame = shot.Advance(10.0f, *camera);
    EXPECT_TRUE(frame.began);
    EXPECT_EQ(frame.cuts, 3);
    EXPECT_TRUE(frame.ended);
    EXPECT_FLOAT_EQ(shot.GetGameSpeed(), 0.25f) << "a spell's shot runs at a quarter";
    ExpectNear(camera->GetLookAt(), 1000.0f, 150.0f, 0.0f, 1e-3f, "the second cut is the last view");
}

TEST_F(SlowMotionShotTest, AShotEndedInItsDelayLeavesTheCameraAlone)
{
    ASSERT_TRUE(shot.Request(&defender, &attacker, 1.0f, false));
    shot.Advance(0.5f, *camera);
    camera->SetEyeAndTarget(D3DXVECTOR3(7.0f, 8.0f, 9.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    shot.End(*camera);
    ExpectNear(camera->GetEye(), 7.0f, 8.0f, 9.0f, 1e-4f, "the view the shot never took");
    EXPECT_TRUE(shot.Request(&defender, &attacker, 1.0f, false)) << "a new shot may be asked for";
}

TEST_F(SlowMotionShotTest, AUnitThatLeavesTheBoardIsNotShown)
{
    ASSERT_TRUE(shot.Request(&defender, &attacker, 0.0f, false));
    shot.Forget(&defender);
    EXPECT_EQ(shot.GetTarget(), nullptr);
    // Without both ends of the blow the cuts flash but the camera stays.
    const SlowMotionShot::Frame frame = shot.Advance(1.0f, *camera);
    EXPECT_EQ(frame.cuts, 1);
    ExpectNear(camera->GetEye(), 1.0f, 2.0f, 3.0f, 1e-4f, "no cut without the defender");

    SlowMotionShot other;
    ASSERT_TRUE(other.Request(&defender, &attacker, 0.0f, false));
    other.Forget(&attacker);
    EXPECT_EQ(other.GetTarget(), &defender) << "forgetting the attacker keeps the target";
    other.Advance(1.0f, *camera);
    ExpectNear(camera->GetEye(), 1.0f, 2.0f, 3.0f, 1e-4f, "no cut without the attacker");
}

} // namespace
