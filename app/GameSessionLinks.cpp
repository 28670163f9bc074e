// What the front end and the board ask of the session: the armies being deployed, the units on the board, the
// window and the ground.
#include "app/GameSession.h"

#include "app/GameApplication.h"
#include "battle/BoardUnit.h"
#include "battle/ClassUnit.h"
#include "battle/Object.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/GlobalConstants.h"
#include "scene/Terrain.h"
#include "ui/HelpScreen.h"
#include "win32/Log.h"
#include "win32/Win32.h"

#include <algorithm>

void GameSession::AddPlayer(int id)
{
    // Kept by team whichever side deployed first: the end page, its columns and the fly-over name the sides by
    // their team.
    if (!m_flow.AddPlayer(id))
        LogFormat(LogLevel::WARNING, "session.player", "no side %d to deploy", id);
}

void GameSession::AddUnit(int playerId, const std::string& className, int row, int col)
{
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        if (player->team == playerId) {
            player->CreateUnit(className, row, col);
            m_load.AddUnit();
            m_unitCount += 1;
            return;
        }
    }
}

bool GameSession::RemoveUnit(int playerId, BoardUnit* unit)
{
    if (!unit)
        return false;
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        if (player->team != playerId)
            continue;
        const std::vector<BoardUnit*>& units = player->GetUnits();
        if (std::find(units.begin(), units.end(), unit) == units.end())
            return false;
        player->RemoveUnit(unit);
        m_unitCount -= 1;
        return true;
    }
    return false;
}

void GameSession::ShowHelpScreen(bool show)
{
    if (m_helpScreen)
        m_helpScreen->Show(show);
}

void GameSession::SetWindowSize(int width, int height)
{
    if (m_application)
        m_application->SetWindowSize(width, height);
}

void GameSession::PostQuit()
{
    PostQuitMessage(0);
}

void GameSession::ResetSceneRect()
{
    if (m_application)
        m_application->ResetSceneRect();
}

void GameSession::FitSceneToRect(const GuiElement& element)
{
    if (m_application)
        m_application->FitSceneToRect(element);
}

bool GameSession::BothPlayersHaveUnits() const
{
    int armies = 0;
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        if (!player->GetUnits().empty())
            ++armies;
    }
    return armies >= 2;
}

PlacedUnit GameSession::DescribeOccupant(Object* occupant) const
{
    PlacedUnit placed;
    if (!occupant)
        return placed;
    for (const std::unique_ptr<Player>& player : m_flow.GetPlayers()) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (!unit || dynamic_cast<Object*>(unit) != occupant)
                continue;
            placed.unit = unit;
            placed.loaded = occupant->IsLoaded();
            placed.team = player->team;
            const ClassUnit* classUnit = dynamic_cast<const ClassUnit*>(unit);
            placed.cost = classUnit ? classUnit->GetCost() : 0;
            return placed;
        }
    }
    return placed;
}

std::unique_ptr<BoardUnit> GameSession::CreatePreviewUnit(const std::string& classFile)
{
    auto unit = std::make_unique<ClassUnit>();
    unit->Load(classFile);
    unit->LoadModel(false);
    unit->SetEffectByName("basic.fx");
    unit->PlayAnimation("Idle", true);
    return unit;
}

ClassSheet GameSession::DescribeClass(const BoardUnit& unit) const
{
    ClassSheet sheet;
    const Unit* body = dynamic_cast<const Unit*>(&unit);
    if (!body)
        return sheet;
    sheet.strength = body->Rules().stats.strength;
    sheet.mana = body->Rules().stats.mana;
    sheet.intelligence = body->Rules().stats.intelligence;
    sheet.damage = UnitCombat::AttackDamage(body->Rules());
    for (const SpellDefinition& ability : body->Rules().abilities)
        sheet.spellNames.push_back(ability.name);
    return sheet;
}

std::vector<BoardUnit*> GameSession::GetLivingUnits() const
{
    return m_flow.GetLivingUnits();
}

Player* GameSession::GetPlayer(int index) const
{
    return m_flow.GetPlayer(index);
}

float GameSession::HeightAt(float x, float z) const
{
    return m_terrain ? m_terrain->HeightAt(x, z) : 0.0f;
}

D3DXVECTOR3 GameSession::NormalAt(float x, float z) const
{
    return m_terrain ? m_terrain->GroundNormal(x, z) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
}

float GameSession::GetCellSize() const
{
    return m_terrain ? static_cast<float>(m_terrain->GetLevelData().cellSize) : DEFAULT_CELL_SIZE;
}
