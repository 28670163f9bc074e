#include "app/BattleLoadScreen.h"

#include "app/GameSession.h"
#include "battle/HexGrid.h"
#include "core/DataManager.h"
#include "core/JobQueue.h"
#include "ui/LoadingScreen.h"
#include "ui/MenuManager.h"

int BattleLoadScreen::GetMenuPage() const
{
    return SCREEN_EMPTY;
}

void BattleLoadScreen::Enter(GameState previous)
{
    (void)previous;
    HidePointer();
    if (LoadingScreen* loading = m_session.GetLoadingScreen())
        loading->Restart();
    if (HexGrid* grid = m_session.GetHexGrid())
        grid->SetAllFadeStates(1);
    // The armies' models load on the worker; the session is the job's target.
    if (JobQueue* queue = DataManager::Get()->GetJobQueue()) {
        queue->Enqueue(new Job(&m_session));
        queue->Start();
    }
}

void BattleLoadScreen::Leave(GameState next)
{
    (void)next;
    // A full-screen picture is several megabytes twice over (ours and the driver's): the battle has no use for it.
    if (LoadingScreen* loading = m_session.GetLoadingScreen())
        loading->ReleaseBackground();
}

void BattleLoadScreen::Update()
{
    m_session.UpdateLoading();
}

void BattleLoadScreen::Render()
{
    if (LoadingScreen* loading = m_session.GetLoadingScreen())
        loading->Render();
}
