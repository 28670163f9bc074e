// The description box, the loading screen and the help screen.
#include "UiDataFixture.h"
#include "core/DataManager.h"
#include "core/Random.h"
#include "ui/DescriptionBox.h"
#include "ui/HelpScreen.h"
#include "ui/LoadingScreen.h"
#include "ui/TextLabel.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using DescriptionBoxTest = UiDataTest;

TEST_F(DescriptionBoxTest, RisesForADescribedButtonAndSinksAfterTheGap)
{
    DescriptionBox box;
    box.Init();
    EXPECT_FLOAT_EQ(box.GetWindow()->left, 346.0f);
    EXPECT_FLOAT_EQ(box.GetWindow()->top, 640.0f);
    EXPECT_EQ(box.GetLabel()->GetText(), "Some Message Here");

    GuiButton plain;
    plain.Create("none.tga", 0.0f, 0.0f, 40.0f, 40.0f);
    GuiButton hidden;
    hidden.Create("none.tga", 100.0f, 0.0f, 40.0f, 40.0f);
    hidden.SetDescription("Never shown");
    GuiButton spell;
    spell.Create("none.tga", 200.0f, 0.0f, 40.0f, 40.0f);
    spell.SetDescription("Heals 20% of health");

    auto step = [&](int x, float dt) {
        Pointer(x, 20);
        Frame(dt);
        MouseOverManager::Get()->Update();
        plain.Update();
        hidden.Update();
        spell.Update();
        box.Update();
    };

    // No description: no rise, and the hide timer runs.
    step(10, 0.02f);
    EXPECT_EQ(box.GetShownButton(), nullptr);
    EXPECT_FLOAT_EQ(box.GetWindow()->targetY, 640.0f);
    EXPECT_GT(box.GetHideTimer(), 0.0f);

    // An invisible button's description is not shown either (its hit test still runs).
    hidden.visible = false;
    step(110, 0.02f);
    step(110, 0.02f);
    EXPECT_EQ(box.GetShownButton(), nullptr);

    step(210, 0.02f);
    step(210, 0.02f);
    EXPECT_EQ(box.GetShownButton(), &spell);
    EXPECT_EQ(box.GetLabel()->GetText(), "Heals 20% of health");
    EXPECT_FLOAT_EQ(box.GetWindow()->targetX, 346.0f);
    EXPECT_FLOAT_EQ(box.GetWindow()->targetY, 310.0f);
    EXPECT_FLOAT_EQ(box.GetAnchor()->targetY, 310.0f);
    for (int i = 0; i < 200; ++i)
        step(210, 0.02f);
    // Up: the text rides 90 pixels under the anchor's top, 300 pixels tall.
    EXPECT_EQ(box.GetTextRect().top, 400);
    EXPECT_EQ(box.GetTextRect().bottom, 700);
    // 20 pixels in from the window's sides (346 and 682), clear of its frame.
    EXPECT_EQ(box.GetTextRect().left, 366);
    EXPECT_EQ(box.GetTextRect().right, 662);

    // Off the button for 0.04 s: still up. The timer reaches 0.05 s one frame later.
    step(500, 0.02f); // leaves
    step(500, 0.02f); // dropped; 0.02 s
    step(500, 0.02f); // 0.04 s
    EXPECT_FLOAT_EQ(box.GetWindow()->targetY, 310.0f);
    step(500, 0.02f); // 0.06 s
    EXPECT_FLOAT_EQ(box.GetWindow()->targetY, 640.0f);
    EXPECT_FLOAT_EQ(box.GetAnchor()->targetY, 640.0f);
}

// A description line wider than the box breaks at a space and stays 20 pixels inside the window's sides,
// instead of running out to the frame.
TEST_F(DescriptionBoxTest, ALongDescriptionBreaksInsideTheWindow)
{
    DescriptionBox box;
    box.Init();
    TextLabel* label = box.GetLabel();
    label->SetText("Heals.\n");
    const RECT one = label->MeasureDrawn();
    const LONG lineHeight = one.bottom - one.top;
    ASSERT_GT(lineHeight, 0) << "measured with the label's font";
    label->SetText("A blow with the shield that sets the foe's next turn back, and a second clause to be sure.\n");
    const RECT drawn = label->MeasureDrawn();
    EXPECT_GE(drawn.left, 366);
    EXPECT_LE(drawn.right, 662);
    EXPECT_GE(drawn.bottom - drawn.top, 2 * lineHeight) << "the line broke";
    box.Destroy();
}

TEST_F(DescriptionBoxTest, ResetScalesTheWindowsTargetsButNotTheAnchors)
{
    DescriptionBox box;
    box.Init();
    app->SetBackBuffer(800, 600);
    box.OnLostDevice();
    box.OnResetDevice();
    // 346 x 800/1024, 310 and 640 x 600/768.
    EXPECT_FLOAT_EQ(box.shownX, 270.3125f);
    EXPECT_FLOAT_EQ(box.shownY, 242.1875f);
    EXPECT_FLOAT_EQ(box.hiddenY, 500.0f);
    box.Show();
    EXPECT_FLOAT_EQ(box.GetWindow()->targetY, 242.1875f);
    EXPECT_FLOAT_EQ(box.GetAnchor()->targetX, 346.0f);
    EXPECT_FLOAT_EQ(box.GetAnchor()->targetY, 310.0f);
}

using LoadingTest = UiDataTest;

TEST_F(LoadingTest, BarGrowsFromItsStartAndStopsAtItsFullLength)
{
    LoadingScreen screen;
    screen.Init();
    // x0 = (1024 - 764) / 2 = 130; the bar starts 80 further.
    EXPECT_FLOAT_EQ(screen.GetBarStart(), 210.0f);
    struct Box {
        GuiElement* element;
        float x, y, w, h;
    };
    const Box boxes[] = {{screen.GetBarBackground(), 210, 636, 609, 32},
                         {screen.GetBarFrame(), 130, 600, 764, 90},
                         {screen.GetBar(), 210, 638, 609, 29},
                         {screen.GetBackground(), 0, 0, 1024, 768}};
    for (const Box& b : boxes) {
        EXPECT_FLOAT_EQ(b.element->left, b.x);
        EXPECT_FLOAT_EQ(b.element->top, b.y);
        EXPECT_FLOAT_EQ(b.element->width, b.w);
        EXPECT_FLOAT_EQ(b.element->height, b.h);
    }
    screen.Restart();
    EXPECT_FLOAT_EQ(screen.GetBar()->right, 210.0f);

    struct Step {
        float p;
        float right;
        bool full;
    };
    const Step steps[] = {{0.5f, 517.5f, false}, {0.999f, 824.385f, false}, {1.0f, 825.0f, true}, {2.0f, 825.0f, true}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.p);
        Frame(0.05f);
        screen.SetProgress(s.p);
        EXPECT_FLOAT_EQ(screen.GetBar()->right, s.right);
        EXPECT_EQ(screen.IsFull(), s.full);
        // The fill keeps its translucent red however often it is updated.
        EXPECT_FLOAT_EQ(screen.GetBar()->colour.r, 1.0f);
        EXPECT_FLOAT_EQ(screen.GetBar()->colour.g, 0.0f);
        EXPECT_FLOAT_EQ(screen.GetBar()->colour.a, 0.75f);
    }
    screen.Restart();
    EXPECT_FALSE(screen.IsFull());
    EXPECT_FLOAT_EQ(screen.GetBar()->right, 210.0f);
}

TEST_F(LoadingTest, ResetScalesTheBarWithTheWidth)
{
    LoadingScreen screen;
    screen.Init();
    app->SetBackBuffer(800, 600);
    screen.OnLostDevice();
    screen.OnResetDevice();
    EXPECT_FLOAT_EQ(screen.GetBarStart(), 164.0625f); // 210 x 0.78125
    EXPECT_FLOAT_EQ(screen.GetBarLength(), 480.46875f); // 615 x 0.78125
    screen.SetProgress(1.0f);
    EXPECT_FLOAT_EQ(screen.GetBar()->right, 644.53125f);
}

TEST_F(LoadingTest, EveryLoadPicksOneOfTheSevenPictures)
{
    std::set<TextureRecord*> pictures;
    for (int i = 1; i <= 7; ++i) {
        Picture("Data/Textures/Screen Overlay Textures/LS" + std::to_string(i) + "BG.png");
    }
    LoadingScreen screen;
    screen.Init();
    Srand(7);
    std::set<TextureRecord*> seen;
    for (int i = 0; i < 200; ++i) {
        screen.Restart();
        seen.insert(screen.GetBackground()->GetTextureRecord());
    }
    EXPECT_EQ(seen.size(), 7u);
    EXPECT_EQ(seen.count(nullptr), 0u);
}

// Loading after loading, only the picture on show is held; once the loading is over none is.
TEST_F(LoadingTest, OnlyThePictureOnShowStaysLoaded)
{
    for (int i = 1; i <= 7; ++i)
        Picture("Data/Textures/Screen Overlay Textures/LS" + std::to_string(i) + "BG.png");
    LoadingScreen screen;
    screen.Init();
    Srand(7);
    std::set<TextureRecord*> seen;
    const auto loaded = [&] {
        int count = 0;
        for (TextureRecord* record : seen)
            if (record->texture) {
                ++count;
                EXPECT_EQ(record->referenceCount, 1) << record->fileName;
            }
        return count;
    };
    for (int i = 0; i < 50; ++i) {
        screen.Restart();
        TextureRecord* shown = screen.GetBackground()->GetTextureRecord();
        ASSERT_NE(shown, nullptr);
        ASSERT_NE(shown->texture, nullptr) << "the picture on show is loaded, even when picked twice running";
        seen.insert(shown);
        EXPECT_EQ(loaded(), 1) << "after load " << i;
    }
    EXPECT_EQ(seen.size(), 7u);
    screen.ReleaseBackground();
    EXPECT_EQ(screen.GetBackground()->GetTextureRecord(), nullptr);
    EXPECT_EQ(loaded(), 0);
    screen.Restart();
    ASSERT_NE(screen.GetBackground()->GetTextureRecord(), nullptr);
    EXPECT_NE(screen.GetBackground()->GetTextureRecord()->texture, nullptr) << "loaded again from its file";
    EXPECT_EQ(loaded(), 1);
}

class HelpTest : public UiDataTest
{
protected:
    void SetUp() override
    {
        UiDataTest::SetUp();
        help.Init();
    }
    void TearDown() override
    {
        help.Release();
        UiDataTest::TearDown();
    }
    // A click as the session sees it: pressed over the button, released, and read by the next update.
    void Click(GuiButton* button)
    {
        Pointer(static_cast<int>(button->left) + 8, static_cast<int>(button->top) + 7);
        for (bool down : {true, false, false}) {
            LeftButton(down);
            Frame(0.02f);
            MouseOverManager::Get()->Update();
            help.Update();
        }
    }
    GuiElement* Page() const { return help.GetPagePicture(help.GetPage()); }

    HelpScreen help;
};

TEST_F(HelpTest, PagesWrapAroundBothWays)
{
    help.Show(true);
    EXPECT_EQ(help.GetCounter().GetText(), "1/5");
    EXPECT_EQ(help.GetTitle().GetText(), "Basic Commands & Controls");
    Click(help.GetPrevious());
    EXPECT_EQ(help.GetCounter().GetText(), "5/5");
    EXPECT_EQ(help.GetTitle().GetText(), "Status Effects");
    Click(help.GetNext());
    EXPECT_EQ(help.GetCounter().GetText(), "1/5");
    Click(help.GetNext());
    EXPECT_EQ(help.GetCounter().GetText(), "2/5");
    EXPECT_EQ(help.GetTitle().GetText(), "Interface Features");
    const float bands[5] = {0.27083f, 0.40625f, 0.43333f, 0.54166f, 0.27083f};
    for (int p = 0; p < 5; ++p) {
        EXPECT_FLOAT_EQ(help.GetPagePicture(p)->topV, 0.0f);
        EXPECT_FLOAT_EQ(help.GetPagePicture(p)->bottomV, bands[p]);
    }
}

// The pages' pictures are the help's largest: only the page on show holds its picture, so a battle in which
// nobody opens the help carries none of them.
TEST_F(HelpTest, OnlyThePageOnShowHoldsItsPicture)
{
    for (int i = 1; i <= HelpScreen::PAGE_COUNT; ++i)
        Picture("Data/Textures/Hud Textures/vh_menu_help_text0" + std::to_string(i) + ".png");
    const auto holding = [this] {
        std::vector<int> pages;
        for (int p = 0; p < HelpScreen::PAGE_COUNT; ++p)
            if (help.GetPagePicture(p)->GetTextureRecord())
                pages.push_back(p);
        return pages;
    };
    EXPECT_EQ(holding(), std::vector<int>{}) << "hidden, the help holds no page";

    help.Show(true);
    EXPECT_EQ(holding(), std::vector<int>{0});
    TextureRecord* first = help.GetPagePicture(0)->GetTextureRecord();
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first->texture, nullptr);

    Click(help.GetNext());
    EXPECT_EQ(holding(), std::vector<int>{1});
    EXPECT_EQ(first->referenceCount, 0);
    EXPECT_EQ(first->texture, nullptr) << "the page left gives its picture back";

    Click(help.GetClose());
    EXPECT_FALSE(help.IsVisible());
    EXPECT_EQ(holding(), std::vector<int>{});

    // Opened again on the page it was left at, which shows its picture again.
    help.Show(true);
    EXPECT_EQ(holding(), std::vector<int>{1});
    ASSERT_NE(Page()->GetTextureRecord(), nullptr);
    EXPECT_NE(Page()->GetTextureRecord()->texture, nullptr);
}

TEST_F(HelpTest, HoldingScrollDownStopsWithTheBandAtTheBottom)
{
    help.Show(true);
    Pointer(700, 475);
    LeftButton(true);
    // 0.1 s frames: both ends move 0.025 until the bottom would pass 1.0.
    float top = 0.0f;
    float bottom = 0.27083f;
    for (int i = 0; i < 40; ++i) {
        Frame(0.1f);
        MouseOverManager::Get()->Update();
        help.Update();
        if (i >= 1) { // the first frame presses the button; the next update scrolls
            if (bottom + 0.025f > 1.0f) {
                bottom = 1.0f;
            } else {
                top += 0.025f;
                bottom += 0.025f;
            }
        }
        ASSERT_NEAR(Page()->topV, top, 1e-5f) << i;
        ASSERT_NEAR(Page()->bottomV, bottom, 1e-5f) << i;
    }
    EXPECT_FLOAT_EQ(Page()->bottomV, 1.0f);
    EXPECT_NEAR(Page()->topV, 0.725f, 1e-5f); // 29 steps of 0.025
    LeftButton(false);
    // Showing again scrolls back to the top and keeps the page.
    help.Show(false);
    help.Show(true);
    EXPECT_FLOAT_EQ(Page()->topV, 0.0f);
    EXPECT_FLOAT_EQ(Page()->bottomV, 0.27083f);
}

TEST_F(HelpTest, CloseAndNextInOneFrameHideAndStillTurnThePage)
{
    help.Show(true);
    help.GetClose()->clicked = true;
    help.GetNext()->clicked = true;
    help.Update();
    EXPECT_FALSE(help.IsVisible());
    EXPECT_EQ(help.GetPage(), 1);
    help.Toggle();
    EXPECT_TRUE(help.IsVisible());
    EXPECT_EQ(help.GetPage(), 1);
    help.Toggle();
    EXPECT_FALSE(help.IsVisible());
}

// A visible help window takes the pointer: a button beneath it neither hovers nor clicks, and the board
// gets no press there. Once hidden, the same button works again.
TEST_F(HelpTest, AVisibleHelpTakesTheClicksThatLandOnIt)
{
    GuiButton start;
    start.Create("none.tga", 438.0f, 255.0f, 149.0f, 61.0f);
    help.Show(true);
    Pointer(512, 285);
    bool boardClick = false;
    for (bool down : {true, false, false}) {
        LeftButton(down);
        Frame(0.02f);
        MouseOverManager::Get()->Update();
        boardClick = boardClick || MouseOverManager::Get()->IsBoardClick();
        help.Update();
        start.Update();
        EXPECT_FALSE(start.hovered);
        EXPECT_FALSE(start.clicked);
    }
    EXPECT_FALSE(boardClick);

    help.Show(false);
    bool clicked = false;
    for (bool down : {true, false}) {
        LeftButton(down);
        Frame(0.02f);
        MouseOverManager::Get()->Update();
        start.Update();
        clicked = clicked || start.clicked;
    }
    EXPECT_TRUE(clicked);
}

} // namespace
