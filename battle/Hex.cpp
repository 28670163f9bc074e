#include "battle/Hex.h"

#include "battle/BattleSession.h"
#include "battle/BoardGround.h"
#include "battle/BoardUnit.h"
#include "battle/HexGrid.h"
#include "battle/Player.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// All pulsing hexes rise and fall together.
bool g_pulseRising = false;

constexpr int BLOCKED_SURCHARGE = 250;
constexpr int DEFENDED_SURCHARGE = 500;
constexpr int OCCUPIED_SURCHARGE = 300;
// A defended zone reaches this far beyond whole hex sides.
constexpr float ZONE_SLACK = 10.0f;
constexpr UINT COLOUR_OFFSET = 24;

// The board's extent along z and x as whole world units, as the centring on the terrain takes them.
constexpr int BOARD_DEPTH_Z = static_cast<int>(96.0f * HexGrid::COLUMNS);
constexpr int BOARD_DEPTH_X = static_cast<int>(2.0f * HEX_SIDE_COS30 * HexGrid::ROWS);

D3DCOLOR AlphaColour(float alpha)
{
    unsigned a = 0;
    if (alpha >= 1.0f)
        a = 255;
    else if (alpha > 0.0f)
        a = static_cast<unsigned>(std::floor(alpha * 255.0f + 0.5f));
    return (a << 24) | 0x00FFFFFFu;
}
} // namespace

static_assert(sizeof(Hex::FanVertex) == Hex::STRIDE);
static_assert(BOARD_DEPTH_Z == 4032 && BOARD_DEPTH_X == 3990);

Hex::~Hex()
{
    ReleaseBuffer();
}

void Hex::ResetForTests()
{
    g_pulseRising = false;
}

void Hex::Build(int buildRow, int buildColumn)
{
    const float k = HEX_SIDE_COS30;
    const float s = HEX_SIDE_SIN30;
    row = buildRow;
    column = buildColumn;
    anchorX = static_cast<float>(2 * row + (column % 2 != 0 ? 1 : 0)) * k - s;
    anchorZ = (s + HEX_SIDE) * static_cast<float>(column) + k;

    const BoardGround* ground = BoardGround::Get();
    const float side = (ground ? ground->GetCellSize() : BoardGround::DEFAULT_CELL_SIZE) * 128.0f;
    anchorZ += (side - static_cast<float>(BOARD_DEPTH_Z)) * 0.5f;
    anchorX += (side - static_cast<float>(BOARD_DEPTH_X)) * 0.5f;

    struct Corner {
        float x, z, u, v;
    };
    const Corner corners[FAN_POINTS] = {
        {anchorX + k, anchorZ - 32.0f, 0.5f, 0.5f},
        {anchorX, anchorZ, 0.0f, 0.0f},
        {anchorX + k, anchorZ + 32.0f, 0.5f, 0.0f},
        {anchorX + 2.0f * k, anchorZ, 1.0f, 0.0f},
        {anchorX + 2.0f * k, anchorZ - 64.0f, 1.0f, 1.0f},
        {anchorX + k, anchorZ - 96.0f, 0.5f, 1.0f},
        {anchorX, anchorZ - 64.0f, 0.0f, 1.0f},
        {anchorX, anchorZ, 0.0f, 0.0f},
    };
    FanVertex vertices[FAN_POINTS];
    float heightSum = 0.0f;
    for (int i = 0; i < FAN_POINTS; ++i) {
        const Corner& c = corners[i];
        const D3DXVECTOR3 n = ground ? ground->NormalAt(c.x, c.z) : D3DXVECTOR3(0.0f, 1.0f, 0.0f);
        const float height = ground ? ground->HeightAt(c.x, c.z) : 0.0f;
        const float y = height + 2.0f * n.y;
        vertices[i] = FanVertex{c.x, y, c.z, n.x, n.y, n.z, 0x00FFFFFFu, c.u, c.v};
        fan[i] = D3DXVECTOR3(c.x, y, c.z);
        heightSum += y;
    }
    meanHeight = 0.125f * heightSum;
    boundsMin = boundsMax = fan[0];
    for (const D3DXVECTOR3& p : fan) {
        D3DXVec3Minimize(&boundsMin, &boundsMin, &p);
        D3DXVec3Maximize(&boundsMax, &boundsMax, &p);
    }

    // Without a buffer the hex still picks and plays its part in the rules; it is only never drawn.
    ReleaseBuffer();
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device)
        return;
    if (FAILED(device->CreateVertexBuffer(FAN_POINTS * STRIDE, D3DUSAGE_WRITEONLY, FVF, D3DPOOL_MANAGED, &vertexBuffer,
                                          nullptr)) ||
        !vertexBuffer) {
        vertexBuffer = nullptr;
        return;
    }
    void* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0)) || !data) {
        ReleaseBuffer();
        return;
    }
    std::memcpy(data, vertices, sizeof(vertices));
    vertexBuffer->Unlock();
    m_writtenColour = vertices[0].colour;
}

void Hex::ReleaseBuffer()
{
    if (vertexBuffer) {
        vertexBuffer->Release();
        vertexBuffer = nullptr;
    }
}

void Hex::SetType(HexType value)
{
    type = value;
    pickable = value != HEX_BLOCKED && value != HEX_OCCUPIED;
}

void Hex::SetCost(int value)
{
    pathCost = value;
    if (type == HEX_BLOCKED)
        pathCost += BLOCKED_SURCHARGE;
    else if (type == HEX_DEFENDED)
        pathCost += DEFENDED_SURCHARGE;
    else if (type == HEX_OCCUPIED)
        pathCost += OCCUPIED_SURCHARGE;
}

float Hex::DistanceTo(const Hex& other) const
{
    const float dx = anchorX - other.anchorX;
    const float dz = anchorZ - other.anchorZ;
    return std::sqrt(dx * dx + dz * dz);
}

bool Hex::MayBeHitBy(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) const
{
    // A margin keeps rays through the fan's very edge, which the triangle test takes, on the safe side.
    constexpr float MARGIN = 0.05f;
    const float o[3] = {origin.x, origin.y, origin.z};
    const float d[3] = {direction.x, direction.y, direction.z};
    const float lo[3] = {boundsMin.x - MARGIN, boundsMin.y - MARGIN, boundsMin.z - MARGIN};
    const float hi[3] = {boundsMax.x + MARGIN, boundsMax.y + MARGIN, boundsMax.z + MARGIN};
    float enter = 0.0f;
    float leave = std::numeric_limits<float>::infinity();
    for (int axis = 0; axis < 3; ++axis) {
        if (d[axis] == 0.0f) {
            if (o[axis] < lo[axis] || o[axis] > hi[axis])
                return false;
            continue;
        }
        float t0 = (lo[axis] - o[axis]) / d[axis];
        float t1 = (hi[axis] - o[axis]) / d[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave)
            return false;
    }
    return true;
}

float Hex::CentreX() const
{
    return anchorX + HEX_SIDE_COS30;
}

float Hex::CentreZ() const
{
    return anchorZ - HEX_SIDE_SIN30;
}

void Hex::UpdateFade(float dt)
{
    if (fadeState == FADE_STEADY)
        return;
    switch (fadeState) {
    case FADE_IN:
        if (alpha < targetAlpha) {
            alpha += FADE_IN_RATE * dt;
            if (alpha > targetAlpha) {
                alpha = targetAlpha;
                fadeState = FADE_STEADY;
            }
        }
        break;
    case FADE_OUT:
        if (alpha > 0.0f) {
            alpha -= FADE_OUT_RATE * dt;
            if (alpha < 0.0f) {
                alpha = 0.0f;
                fadeState = FADE_STEADY;
            }
        }
        break;
    case FADE_PULSE:
        if (g_pulseRising) {
            if (alpha < 1.0f) {
                alpha += FADE_IN_RATE * dt;
                if (alpha > targetAlpha) {
                    alpha = targetAlpha;
                    g_pulseRising = false;
                }
            }
        } else if (alpha > 0.0f) {
            alpha -= FADE_OUT_RATE * dt;
            if (alpha < PULSE_FLOOR) {
                alpha = PULSE_FLOOR;
                g_pulseRising = true;
            }
        }
        break;
    default:
        break;
    }
    // The step that ends a fade also marks the hex steady; its final alpha must still reach the fan, or a hex
    // faded in would keep showing the alpha of the step before.
    WriteColour();
}

void Hex::WriteAlpha()
{
    if (fadeState == FADE_STEADY)
        return;
    WriteColour();
}

void Hex::WriteColour()
{
    const D3DCOLOR colour = AlphaColour(alpha);
    if (!vertexBuffer || colour == m_writtenColour)
        return;
    void* data = nullptr;
    if (FAILED(vertexBuffer->Lock(0, 0, &data, 0)) || !data)
        return;
    m_writtenColour = colour;
    auto* bytes = static_cast<unsigned char*>(data);
    for (int i = 0; i < FAN_POINTS; ++i)
        std::memcpy(bytes + static_cast<size_t>(i) * STRIDE + COLOUR_OFFSET, &colour, sizeof(colour));
    vertexBuffer->Unlock();
}

void Hex::Draw(IDirect3DDevice9* device) const
{
    if (!(alpha > 0.0f) || !vertexBuffer || !device)
        return;
    device->SetStreamSource(0, vertexBuffer, 0, STRIDE);
    device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 6);
}

std::vector<BoardUnit*> Hex::UnitsWithinRadius() const
{
    std::vector<BoardUnit*> result;
    const BattleSession* session = BattleSession::Get();
    if (!session)
        return result;
    for (int p = 0; p < 2; ++p) {
        const Player* player = session->GetPlayer(p);
        if (!player)
            continue;
        for (BoardUnit* unit : player->GetUnits()) {
            // A unit counts when its own hex lies in its zone around this hex (and so this hex in its zone):
            // whoever else stands nearby does not lend it a reach it does not have.
            const Hex* home = unit->GetHex();
            if (!home || !home->occupant)
                continue;
            const int r = unit->GetDefendRadius();
            if (home->row < row - r || home->row > row + r - 1 || home->column < column - r ||
                home->column > column + r - 1)
                continue;
            if (home->DistanceTo(*this) <= static_cast<float>(r) * HEX_SIDE + ZONE_SLACK)
                result.push_back(unit);
        }
    }
    return result;
}
