#include "app/EndScreen.h"

#include "app/GameSession.h"
#include "battle/Player.h"
#include "scene/Camera.h"
#include "ui/MenuManager.h"
#include "ui/TextLabel.h"
#include "win32/Log.h"

namespace {
// The players' counters shown, one row each.
constexpr Statistic ROWS[4] = {Statistic::KILLS, Statistic::DAMAGE_DEALT, Statistic::TURNS, Statistic::HEXES_MOVED};
// Each figure is centred under its side's name plate (x 200 and 655, 125 wide).
constexpr float COLUMN_CENTRE[2] = {262.5f, 717.5f};
constexpr float ROW_STEPS[GameSession::LABEL_COUNT] = {0, 71, 0, 71, 0, 71, 0, 71, 0};
constexpr float FIRST_ROW = 408.0f;
} // namespace

int EndScreen::GetMenuPage() const
{
    return SCREEN_END_OF_GAME;
}

void EndScreen::Enter(GameState previous)
{
    (void)previous;
    const Player* first = m_session.GetPlayer(0);
    const Player* second = m_session.GetPlayer(1);
    if (!first || !second)
        return;
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->ResetAllPages();
    TextLabel* banner = m_session.GetLabel(GameSession::BANNER_LABEL);
    if (!banner)
        return;
    m_session.SetLabelRows(FIRST_ROW, ROW_STEPS);
    banner->pendingEffect = EFFECT_FADE_ALPHA_TO_BASE;
    banner->effectTimer = 0.0f;
    banner->effectDelay = 0.0f;
    const bool firstWins = first->AliveCount() > second->AliveCount();
    // Each side's figures, and the winner's line, in that side's colour (blue for Player 1, red for Player 2, as
    // its name plate above the column), light enough to read over the dark page.
    const D3DXCOLOR sideColour[2] = {D3DXCOLOR(0.45f, 0.68f, 1.0f, 1.0f), D3DXCOLOR(1.0f, 0.35f, 0.3f, 1.0f)};
    banner->colour = banner->baseColour = sideColour[firstWins ? 0 : 1];
    banner->SetText(firstWins ? "Player 1 Wins!" : "Player 2 Wins!");
    const Player* sides[2] = {first, second};
    for (int row = 0; row < 4; ++row) {
        for (int side = 0; side < 2; ++side) {
            TextLabel* figure = m_session.GetLabel(2 * row + side);
            figure->colour = figure->baseColour = figure->normalColour = sideColour[side];
            figure->SetNumberText("%i", sides[side]->GetStatistic(ROWS[row]), false);
            const RECT drawn = figure->MeasureDrawn();
            figure->SetPosition(COLUMN_CENTRE[side] - static_cast<float>(drawn.right - drawn.left) / 2.0f, figure->y);
        }
    }
    // What the page says, left column then right, so that a run can check it against the battle it saw.
    LogFormat(LogLevel::INFO, "session.result", "%s kills %d %d, damage %d %d, turns %d %d, hexes walked %d %d",
              banner->GetText().c_str(), first->GetStatistic(ROWS[0]), second->GetStatistic(ROWS[0]),
              first->GetStatistic(ROWS[1]), second->GetStatistic(ROWS[1]), first->GetStatistic(ROWS[2]),
              second->GetStatistic(ROWS[2]), first->GetStatistic(ROWS[3]), second->GetStatistic(ROWS[3]));
}

void EndScreen::Leave(GameState next)
{
    if (next == GAME_STATE_MAIN_MENU || next == GAME_STATE_DEPLOYMENT)
        m_session.StopBattleMusic();
}

void EndScreen::Update()
{
    m_session.UpdateBoardScene();
    Camera::Get()->Orbit();
    for (int i = 0; i < GameSession::LABEL_COUNT; ++i) {
        if (TextLabel* label = m_session.GetLabel(i))
            label->Update();
    }
}

void EndScreen::Render()
{
    if (MenuManager* menu = m_session.GetMenuManager())
        menu->Render();
    for (int i = 0; i < GameSession::LABEL_COUNT; ++i) {
        if (TextLabel* label = m_session.GetLabel(i))
            label->QueueDraw();
    }
}
