// What a player sees of a unit, apart from its rules: the dead show no bars or shadow but keep their emitters
// going, and a presentation taken down leaves nothing of itself in the frame's lists, however often it is
// taken down.
#include "UnitFixture.h"

#include "scene/ParticleEmitter.h"
#include "scene/ParticleManager.h"
#include "scene/WorldQuad.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class UnitPresentationTest : public UnitTest
{
protected:
    template <typename List, typename Part>
    static bool Listed(const List& list, const Part* part)
    {
        return std::find(list.begin(), list.end(), part) != list.end();
    }
};

TEST_F(UnitPresentationTest, TheDeadKeepTheirEmittersButShowNoBars)
{
    UnitPresentation look;
    look.Create(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    UnitPresentation::AddEmitter(look.castEmitters, "cast.txt", nullptr);
    ParticleManager* frame = ParticleManager::Get();

    look.Draw(false);
    EXPECT_TRUE(Listed(frame->Emitters(), look.emitters[UnitPresentation::EMITTER_BLOOD].get()));
    EXPECT_TRUE(Listed(frame->Emitters(), look.castEmitters[0].get()));
    EXPECT_TRUE(frame->WorldQuads().empty());

    look.Draw(true);
    for (const WorldQuad* bar :
         {look.frameQuad.get(), look.healthQuad.get(), look.manaQuad.get(), look.badgeQuad.get()})
        EXPECT_TRUE(Listed(frame->WorldQuads(), bar));
}

TEST_F(UnitPresentationTest, ATakenDownPresentationLeavesTheFrameAndMayBeTakenDownAgain)
{
    auto look = std::make_unique<UnitPresentation>();
    look->Create(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    UnitPresentation::AddEmitter(look->aimEmitters, "aim.txt", nullptr);
    look->Draw(true);
    ParticleManager* frame = ParticleManager::Get();
    ASSERT_FALSE(frame->Emitters().empty());
    ASSERT_FALSE(frame->WorldQuads().empty());

    look->Release();
    EXPECT_TRUE(frame->Emitters().empty());
    EXPECT_TRUE(frame->WorldQuads().empty());
    EXPECT_EQ(look->CombatLabel(), nullptr);
    EXPECT_EQ(look->healthQuad, nullptr);
    // Its owner's destructor takes it down a second time.
    look.reset();
    EXPECT_TRUE(frame->Emitters().empty());
}

TEST_F(UnitPresentationTest, AHitShowsItsDamageTruncatedAndAMissSaysSo)
{
    UnitPresentation look;
    look.Create(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    const auto* label = static_cast<const FakeCombatText*>(look.CombatLabel());
    ASSERT_NE(label, nullptr);
    look.OnHit(D3DXVECTOR3(0.0f, 0.0f, 0.0f), -12.6f, false);
    EXPECT_EQ(label->text, "12 Damage Taken");
    EXPECT_TRUE(look.emitters[UnitPresentation::EMITTER_BLOOD]->emitting);
    look.OnMissed();
    EXPECT_EQ(label->text, "Attack Missed!");
    EXPECT_EQ(label->fontHeight, 28);
}

} // namespace
