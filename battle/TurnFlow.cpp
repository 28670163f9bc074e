#include "battle/TurnFlow.h"

#include "battle/Hex.h"
#include "battle/Player.h"
#include "battle/Unit.h"
#include "core/SpellDefinition.h"

#include <algorithm>
#include <cstdlib>

namespace {

Unit* BodyOf(BoardUnit* unit)
{
    return dynamic_cast<Unit*>(unit);
}

// A walk, a blow or a cast finishes before its turn can end.
bool IsBusy(const BoardUnit* unit)
{
    if (!unit)
        return false;
    const UnitState state = unit->GetState();
    return state == MOVING || state == ATTACKING || state == CASTING;
}

// The initiative step of a waiting unit of this speed, as the unit's own countdown takes it.
int CountdownStep(int speed)
{
    return static_cast<int>(-0.1f * static_cast<float>(speed));
}

} // namespace

TurnFlow::TurnFlow() = default;

TurnFlow::~TurnFlow()
{
    Reset();
}

Player* TurnFlow::AddPlayer(int team)
{
    if (team < 0 || team >= TEAMS)
        return nullptr;
    if (Player* existing = GetPlayer(team))
        return existing;
    auto player = std::make_unique<Player>();
    player->team = team;
    Player* added = player.get();
    // Kept in team order whichever side came first: the end page, its columns and the fly-over name the sides
    // by their place.
    const auto after = std::find_if(m_players.begin(), m_players.end(),
                                    [team](const std::unique_ptr<Player>& other) { return other->team > team; });
    m_players.insert(after, std::move(player));
    return added;
}

Player* TurnFlow::GetPlayer(int team) const
{
    for (const std::unique_ptr<Player>& player : m_players) {
        if (player->team == team)
            return player.get();
    }
    return nullptr;
}

std::vector<BoardUnit*> TurnFlow::GetLivingUnits() const
{
    std::vector<BoardUnit*> living;
    for (const std::unique_ptr<Player>& player : m_players) {
        for (BoardUnit* unit : player->GetUnits()) {
            if (!unit)
                continue;
            // A unit's alive flag falls with its death; other board units say so by their state.
            const Unit* body = dynamic_cast<const Unit*>(unit);
            if (body ? body->Rules().turn.alive : unit->GetState() != DEAD)
                living.push_back(unit);
        }
    }
    return living;
}

void TurnFlow::Reset()
{
    m_activeUnit = nullptr;
    m_activePlayer = nullptr;
    m_order.Clear();
    for (std::unique_ptr<Player>& player : m_players) {
        player->DeleteUnits();
        player->ClearUnits();
    }
    m_players.clear();
    m_turnActive = true;
    m_lastTurnRequest = 0.0f;
    m_deathSeen = false;
    m_deathSeenAt = 0.0f;
    m_turns = 0;
}

void TurnFlow::Enlist(BoardUnit* unit)
{
    if (!unit || m_order.Contains(unit))
        return;
    m_order.Add(unit);
    if (m_listener)
        m_listener->OnUnitEnlisted(unit);
}

void TurnFlow::ForgetUnit(BoardUnit* gone)
{
    if (!gone)
        return;
    m_order.Remove(gone);
    if (m_activeUnit == gone) {
        m_activeUnit = nullptr;
        m_deathSeen = false;
    }
}

void TurnFlow::RequestNextTurn(float now)
{
    if (now - m_lastTurnRequest < TURN_REQUEST_GAP || m_players.empty())
        return;
    if (IsBusy(m_activeUnit))
        return;
    m_turnActive = false;
    m_lastTurnRequest = now;
}

void TurnFlow::Update(float now)
{
    if (m_turnActive && m_activeUnit && m_activeUnit->GetState() == DEAD) {
        // Killed in its own turn (its own area ability caught it): nobody can command it any more, so the turn
        // passes once its fall has played out; when a side has nobody left the battle ends instead.
        if (!m_deathSeen) {
            m_deathSeen = true;
            m_deathSeenAt = now;
        } else if (now - m_deathSeenAt >= DEATH_PAUSE && BothSidesStand()) {
            m_turnActive = false;
        }
    }
    if (!m_turnActive)
        Step();
}

bool TurnFlow::BothSidesStand() const
{
    int standing = 0;
    for (const std::unique_ptr<Player>& player : m_players) {
        if (player->AliveCount() > 0)
            ++standing;
    }
    return standing >= TEAMS;
}

void TurnFlow::Step()
{
    m_turnActive = false;
    // The ending unit is no longer the active one while its turn ends, so nothing it sets off can end it again.
    if (BoardUnit* ending = m_activeUnit) {
        m_activeUnit = nullptr;
        m_deathSeen = false;
        if (Unit* body = BodyOf(ending))
            body->EndTurn();
    }
    CountDownInitiatives();
    m_order.DropTheDead();
    m_order.Sort();
    if (m_listener)
        m_listener->OnCountdownStep(m_order);

    BoardUnit* first = m_order.GetFirstUnit();
    const Unit* body = BodyOf(first);
    if (!body || body->Rules().turn.initiative > 0)
        return;
    // A unit of no side cannot be commanded: it never takes the turn.
    Player* owner = first->GetOwner();
    if (!owner)
        return;
    HandTurnTo(first, owner);
}

void TurnFlow::CountDownInitiatives()
{
    bool canCount = false;
    bool ready = false;
    for (BoardUnit* unit : GetLivingUnits()) {
        const Unit* body = BodyOf(unit);
        if (!body || !body->Rules().turn.waiting)
            continue;
        canCount = canCount || CountdownStep(body->Rules().stats.speed) < 0;
        ready = ready || body->Rules().turn.initiative <= 0;
    }
    if (canCount || ready) {
        for (const std::unique_ptr<Player>& player : m_players)
            player->AdjustInitiatives();
        return;
    }
    // Every waiting unit is too slow to count down (a unit file or an effect may make it so): without this
    // the countdown would never end.
    for (BoardUnit* unit : GetLivingUnits()) {
        Unit* waiting = BodyOf(unit);
        if (waiting)
            waiting->NudgeInitiative();
        unit->SetTextVisible(false);
    }
}

void TurnFlow::HandTurnTo(BoardUnit* unit, Player* owner)
{
    m_activeUnit = unit;
    m_activePlayer = owner;
    m_turnActive = true;
    m_deathSeen = false;
    ++m_turns;
    if (m_listener)
        m_listener->OnTurnHandedTo(unit, owner);
    owner->SelectUnit(unit);
    unit->SetTextVisible(true);
    if (Unit* body = BodyOf(unit))
        body->BeginTurn();
    if (m_listener)
        m_listener->OnTurnBegun(unit);
}

int TurnFlow::ApplyAreaEffect(BoardUnit* caster, const SpellDefinition& ability)
{
    Unit* body = BodyOf(caster);
    if (!body)
        return 0;
    const Hex* centre = body->Rules().command.abilityTarget ? body->Rules().command.abilityTarget : body->GetHex();
    if (!centre)
        return 0;
    // A square around the centre, not a ring of hexes.
    int inside = 0;
    for (BoardUnit* unit : GetLivingUnits()) {
        const Hex* hex = unit->GetHex();
        if (hex && std::abs(hex->row - centre->row) < ability.areaRadius &&
            std::abs(hex->column - centre->column) < ability.areaRadius)
            ++inside;
    }
    body->Spellcasting().StartAreaEmitters();
    if (inside == 0)
        return 0;
    // The units in the square share the amount, as if there were never more than three of them; the ability
    // keeps its own amount for the next cast.
    SpellDefinition share = ability;
    share.amount = ability.amount / std::min(inside, AREA_SHARE_LIMIT);
    // Every unit hears of it; each decides whether it stands in the area. A copy of each list: a death may
    // change what the players hold.
    for (const std::unique_ptr<Player>& player : m_players) {
        for (BoardUnit* unit : std::vector<BoardUnit*>(player->GetUnits())) {
            if (Unit* receiver = BodyOf(unit))
                receiver->Spellcasting().ReceiveAreaAbility(body, share);
        }
    }
    return inside;
}
