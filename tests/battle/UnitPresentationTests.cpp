// What a player sees of a unit, apart from its rules: the dead show no bars or shadow but keep their emitters
// going, and a presentation taken down leaves nothing of itself in the frame's lists, however often it is
// taken down.
#include "UnitFixture.h"

#include "core/SoundQueue.h"
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

TEST_F(UnitPresentationTest, AFootSoundsAtTheEndOfEachStrideTheSecondHalfAStrideBehind)
{
    UnitPresentation look;
    look.sounds[UnitPresentation::SOUND_FOOTSTEP] = "ALL_MISS.wav";
    look.sounds[UnitPresentation::SOUND_FOOTSTEP + 1] = "ALL_MISS.wav";
    const auto queued = [] { return SoundQueue::Get()->GetPendingRequests().size(); };
    look.OnSetOff();
    EXPECT_EQ(queued(), 2u);
    // A stride is 0.933333 s; the second foot starts 0.43333 s behind the first.
    look.OnStride(0.5f);
    EXPECT_EQ(queued(), 2u);
    // First foot 1.0: it sounds and starts again; second foot 0.56667.
    look.OnStride(0.5f);
    EXPECT_EQ(queued(), 3u);
    // First foot 0.4; second foot 0.96667: it sounds.
    look.OnStride(0.4f);
    EXPECT_EQ(queued(), 4u);
    // Setting off again starts both clocks afresh: 0.5 takes neither foot to the end of its stride.
    look.OnSetOff();
    look.OnStride(0.5f);
    EXPECT_EQ(queued(), 6u);
}

TEST_F(UnitPresentationTest, AShoutIsOneOfTheUnitsOwnVoicesAGeneralsOrNone)
{
    UnitPresentation look;
    for (int i = 0; i < 3; ++i)
        look.voices[UnitPresentation::VOICE_ATTACK + i] = "ALL_MISS.wav";
    for (int i = 0; i < 5; ++i)
        look.voices[UnitPresentation::VOICE_GENERAL + i] = "ALL_MISS.wav";
    const auto queued = [] { return SoundQueue::Get()->GetPendingRequests().size(); };
    look.Shout(UnitPresentation::VOICE_ATTACK, 3, 2);
    EXPECT_EQ(queued(), 1u);
    // The roll one past the unit's voices is the general's.
    look.Shout(UnitPresentation::VOICE_ATTACK, 3, 3);
    EXPECT_EQ(queued(), 2u);
    look.Shout(UnitPresentation::VOICE_ATTACK, 3, 4);
    EXPECT_EQ(queued(), 2u);
    // Only the voice the roll picks is asked for: the slot past the unit's three is empty.
    look.voices[UnitPresentation::VOICE_ATTACK + 1].clear();
    look.Shout(UnitPresentation::VOICE_ATTACK, 3, 1);
    EXPECT_EQ(queued(), 2u);
}

TEST_F(UnitPresentationTest, ABarFadeFollowsTheUnitUntilItDiesAndThenStaysOut)
{
    UnitPresentation look;
    look.Create(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    look.SetBarsAlpha(0);
    EXPECT_EQ(look.healthQuad->fadeState, 0);
    look.OnDied();
    for (const WorldQuad* bar :
         {look.frameQuad.get(), look.healthQuad.get(), look.manaQuad.get(), look.badgeQuad.get()})
        EXPECT_EQ(bar->fadeState, 1);
    look.SetBarsAlpha(0);
    EXPECT_EQ(look.manaQuad->fadeState, 1);
    // A second report of the death changes nothing.
    look.OnDied();
    EXPECT_EQ(look.frameQuad->fadeState, 1);
}

} // namespace
