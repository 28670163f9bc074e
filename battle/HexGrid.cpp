#include "battle/HexGrid.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"

#include <functional>

namespace {

HexGrid* g_currentHexGrid = nullptr;

} // namespace

HexGrid::HexGrid() : m_hexes(new Hex[HEX_COUNT])
{
    for (int r = 0; r < ROWS; ++r) {
        for (int c = 0; c < COLUMNS; ++c) {
            m_hexes[r * COLUMNS + c].row = r;
            m_hexes[r * COLUMNS + c].column = c;
        }
    }
}

// The pointer must not keep a hex of a board that is gone.
HexGrid::~HexGrid()
{
    if (g_currentHexGrid == this)
        g_currentHexGrid = nullptr;
    BoardPointer* pointer = BoardPointer::Get();
    if (!pointer)
        return;
    const std::less<const Hex*> before;
    const Hex* hovered = pointer->GetHovered();
    if (hovered && !before(hovered, &m_hexes[0]) && before(hovered, &m_hexes[0] + HEX_COUNT))
        pointer->SetHovered(nullptr);
}

Hex* HexGrid::GetHex(int row, int col)
{
    if (row < 0 || row >= ROWS || col < 0 || col >= COLUMNS)
        return nullptr;
    return &m_hexes[row * COLUMNS + col];
}

const Hex* HexGrid::GetHex(int row, int col) const
{
    if (row < 0 || row >= ROWS || col < 0 || col >= COLUMNS)
        return nullptr;
    return &m_hexes[row * COLUMNS + col];
}

int HexGrid::GetNeighbours(const Hex& hex, Hex* out[6])
{
    const int r = hex.row;
    const int c = hex.column;
    // Odd columns sit half a row further along x, so the two diagonal neighbours lie on the other side.
    const int offsets[6][2] = {{1, 0},
                               {-1, 0},
                               {0, 1},
                               {0, -1},
                               {c % 2 == 0 ? -1 : 1, c % 2 == 0 ? 1 : -1},
                               {c % 2 == 0 ? -1 : 1, c % 2 == 0 ? -1 : 1}};
    int count = 0;
    for (const auto& offset : offsets) {
        if (Hex* n = GetHex(r + offset[0], c + offset[1]))
            out[count++] = n;
    }
    return count;
}

void HexGrid::LoadTextures()
{
    if (m_built)
        ReleaseBuffers();
    DataManager* data = DataManager::Get();
    m_textures[TEXTURE_MOVEMENT] = data->GetTexture(HEX_MOVEMENT_TEXTURE);
    m_textures[TEXTURE_BLOCKED] = data->GetTexture(HEX_BLOCKED_TEXTURE);
    m_textures[TEXTURE_HOVERED_BLOCKED] = data->GetTexture(HEX_BLOCKED_TEXTURE);
    m_textures[TEXTURE_OUT_OF_RANGE] = data->GetTexture(HEX_JUST_OUT_OF_RANGE_TEXTURE);
    m_textures[TEXTURE_CURSOR] = data->GetTexture(HEX_MOUSE_OVER_TEXTURE);
    m_textures[TEXTURE_MOUSE_OVER] = data->GetTexture(HEX_MOUSE_OVER_TEXTURE);
    m_textures[TEXTURE_TEAM0] = data->GetTexture(HEX_PLAYER1_TEXTURE);
    m_textures[TEXTURE_TEAM0_DEFENDED] = data->GetTexture(HEX_DEFENDED_PLAYER1_TEXTURE);
    m_textures[TEXTURE_TEAM1_DEFENDED] = data->GetTexture(HEX_DEFENDED_PLAYER2_TEXTURE);
    m_textures[TEXTURE_TEAM1] = data->GetTexture(HEX_PLAYER2_TEXTURE);
    for (int r = 0; r < ROWS; ++r) {
        for (int c = 0; c < COLUMNS; ++c)
            m_hexes[r * COLUMNS + c].Build(r, c);
    }
    m_built = true;
}

namespace {

// The fans of a list of hexes as one draw: each fan's triangles, centre first, in the order the fan gives them.
void DrawTogether(IDirect3DDevice9* device, const std::vector<Hex*>& hexes)
{
    // Kept from frame to frame: the lit hexes are laid out here each time.
    static std::vector<Hex::FanVertex> vertices;
    static std::vector<WORD> indices;
    constexpr size_t MOST_VERTICES = 65536; // what 16-bit indices reach
    const auto flush = [device] {
        if (!indices.empty())
            device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(vertices.size()),
                                           static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                           vertices.data(), Hex::STRIDE);
        vertices.clear();
        indices.clear();
    };
    for (const Hex* hex : hexes) {
        if (!(hex->alpha > 0.0f) || !hex->vertexBuffer)
            continue;
        if (vertices.size() + Hex::FAN_POINTS > MOST_VERTICES)
            flush();
        void* data = nullptr;
        if (FAILED(hex->vertexBuffer->Lock(0, 0, &data, D3DLOCK_READONLY)) || !data)
            continue;
        const auto base = static_cast<WORD>(vertices.size());
        const auto* fan = static_cast<const Hex::FanVertex*>(data);
        vertices.insert(vertices.end(), fan, fan + Hex::FAN_POINTS);
        hex->vertexBuffer->Unlock();
        for (WORD i = 1; i + 1 < Hex::FAN_POINTS; ++i) {
            indices.push_back(base);
            indices.push_back(static_cast<WORD>(base + i));
            indices.push_back(static_cast<WORD>(base + i + 1));
        }
    }
    flush();
}

} // namespace

void HexGrid::ReleaseBuffers()
{
    if (!m_built)
        return;
    for (int i = 0; i < HEX_COUNT; ++i)
        m_hexes[i].ReleaseBuffer();
    m_pathList.clear();
}

void HexGrid::Update()
{
    const float dt = DataManager::Get()->GetFrameTime();
    for (int i = 0; i < HEX_COUNT; ++i)
        m_hexes[i].UpdateFade(dt);
}

void HexGrid::SetTexture(IDirect3DDevice9* device, TextureSlot slot) const
{
    const TextureRecord* record = m_textures[slot];
    device->SetTexture(0, record ? record->texture : nullptr);
}

void HexGrid::DrawList(IDirect3DDevice9* device, std::vector<Hex*>& list) const
{
    if (device)
        DrawTogether(device, list);
    list.clear();
}

void HexGrid::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    // The highlights are signs laid on the board, not part of the land: a level's fog would wash their colours
    // towards its own (a pale blue over the snow), so they are drawn clear of it.
    DWORD fog = FALSE;
    if (device) {
        D3DXMATRIX identity;
        D3DXMatrixIdentity(&identity);
        device->SetTransform(D3DTS_WORLD, &identity);
        device->GetRenderState(D3DRS_FOGENABLE, &fog);
        device->SetRenderState(D3DRS_FOGENABLE, FALSE);
        device->SetRenderState(D3DRS_ZENABLE, FALSE);
        device->SetFVF(Hex::FVF);
        SetTexture(device, TEXTURE_MOVEMENT);
    }
    DrawList(device, m_pathList);
    if (device)
        SetTexture(device, TEXTURE_TEAM0);
    DrawList(device, m_team0List);
    if (device)
        SetTexture(device, TEXTURE_TEAM1);
    DrawList(device, m_team1List);

    if (device)
        SetTexture(device, TEXTURE_TEAM0_DEFENDED);
    for (Hex* hex : m_team0DefendedList)
        hex->defendedByTeam0 = 0;
    DrawList(device, m_team0DefendedList);
    if (device)
        SetTexture(device, TEXTURE_TEAM1_DEFENDED);
    for (Hex* hex : m_team1DefendedList)
        hex->defendedByTeam1 = 0;
    DrawList(device, m_team1DefendedList);
    // The zone hexes keep the texture of the last defended list.
    DrawList(device, m_zoneList);

    BoardPointer* pointer = BoardPointer::Get();
    Hex* hovered = pointer ? pointer->GetHovered() : nullptr;
    if (hovered && device) {
        hovered->fadeState = FADE_IN;
        if (hovered->type == HEX_BLOCKED) {
            SetTexture(device, TEXTURE_HOVERED_BLOCKED);
            hovered->Draw(device);
        } else if (hovered->type == HEX_DEFENDED) {
            if (hovered->defendedByTeam0) {
                SetTexture(device, TEXTURE_TEAM0_DEFENDED);
                hovered->Draw(device);
            }
            if (hovered->defendedByTeam1) {
                SetTexture(device, TEXTURE_TEAM1_DEFENDED);
                hovered->Draw(device);
            }
        } else if (hovered->type != HEX_OCCUPIED) {
            SetTexture(device, TEXTURE_CURSOR);
            hovered->Draw(device);
        }
        SetTexture(device, TEXTURE_MOUSE_OVER);
        hovered->Draw(device);
    } else if (hovered) {
        hovered->fadeState = FADE_IN;
    }
    if (device) {
        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_FOGENABLE, fog);
    }
}

void HexGrid::SetAllFadeStates(int state)
{
    for (int i = 0; i < HEX_COUNT; ++i)
        m_hexes[i].fadeState = state;
}

void HexGrid::ClampAlpha(float value)
{
    for (int i = 0; i < HEX_COUNT; ++i)
        m_hexes[i].alpha = value < m_hexes[i].targetAlpha ? value : m_hexes[i].targetAlpha;
}

Hex* HexGrid::CentreOfType(HexType type)
{
    int rowSum = 0;
    int columnSum = 0;
    int count = 0;
    for (int i = 0; i < HEX_COUNT; ++i) {
        if (m_hexes[i].type == type) {
            rowSum += m_hexes[i].row;
            columnSum += m_hexes[i].column;
            ++count;
        }
    }
    if (count == 0)
        return nullptr;
    return GetHex(rowSum / count, columnSum / count);
}

Hex* HexGrid::PickHex(int row, int col)
{
    Hex* hex = GetHex(row, col);
    const BoardPointer* pointer = BoardPointer::Get();
    if (!hex || !pointer)
        return nullptr;
    const D3DXVECTOR3& origin = pointer->GetPickRayOrigin();
    const D3DXVECTOR3& direction = pointer->GetPickRayDirection();
    if (!hex->MayBeHitBy(origin, direction))
        return nullptr;
    for (int i = 0; i < 6; ++i) {
        float u = 0.0f;
        float v = 0.0f;
        float distance = 0.0f;
        if (D3DXIntersectTri(&hex->fan[0], &hex->fan[1 + i], &hex->fan[2 + i], &origin, &direction, &u, &v, &distance))
            return hex;
    }
    return nullptr;
}

bool HexGrid::IsHoverBlocked() const
{
    const BattleSession* session = BattleSession::Get();
    const BoardPointer* pointer = BoardPointer::Get();
    return session && pointer && session->IsInBattle() && (pointer->IsShowingText() || pointer->IsOverHud());
}

void HexGrid::PickHoveredHex(bool pickable)
{
    BoardPointer* pointer = BoardPointer::Get();
    if (!pointer)
        return;
    if (IsHoverBlocked()) {
        pointer->SetHovered(nullptr);
        return;
    }
    for (int r = 0; r < ROWS; ++r) {
        for (int c = 0; c < COLUMNS; ++c) {
            Hex& hex = m_hexes[r * COLUMNS + c];
            if (hex.pickable == pickable && PickHex(r, c)) {
                pointer->SetHovered(&hex);
                return;
            }
        }
    }
}

void HexGrid::ListByType(Hex* hex)
{
    if (hex->type == HEX_DEFENDED)
        m_zoneList.push_back(hex);
    else if (hex->type != HEX_BLOCKED && hex->type != HEX_OCCUPIED)
        m_pathList.push_back(hex);
}

void HexGrid::HoverHexOfType(HexType type)
{
    HoverHexWhere(&Hex::type, type);
}

void HexGrid::HoverHexOfDefaultType(HexType type)
{
    HoverHexWhere(&Hex::defaultType, type);
}

void HexGrid::HoverHexWhere(HexType Hex::*field, HexType type)
{
    BoardPointer* pointer = BoardPointer::Get();
    if (!pointer)
        return;
    if (IsHoverBlocked()) {
        pointer->SetHovered(nullptr);
        return;
    }
    for (int i = 0; i < HEX_COUNT; ++i) {
        Hex& hex = m_hexes[i];
        if (hex.*field == type && PickHex(hex.row, hex.column)) {
            hex.fadeState = FADE_IN;
            ListByType(&hex);
            pointer->SetHovered(&hex);
            return;
        }
    }
}

void HexGrid::ResetLists(HexType type, bool clearPath)
{
    if (BoardPointer* pointer = BoardPointer::Get())
        pointer->SetHovered(nullptr);
    if (clearPath)
        m_pathList.clear();
    for (int i = 0; i < HEX_COUNT; ++i) {
        if (m_hexes[i].type == type) {
            m_hexes[i].fadeState = FADE_IN;
            ListByType(&m_hexes[i]);
        }
    }
}

void HexGrid::ClearPathList()
{
    m_pathList.clear();
    m_pathList.shrink_to_fit();
}

void HexGrid::AddToList(Hex* hex)
{
    if (!hex)
        return;
    hex->fadeState = FADE_IN;
    ListByType(hex);
}

void HexGrid::FlagDefendedTeam0(Hex* hex)
{
    if (!hex || hex->defendedByTeam0)
        return;
    hex->defendedByTeam0 = 1;
    hex->SetType(HEX_DEFENDED);
    hex->fadeState = FADE_IN;
    m_team0DefendedList.push_back(hex);
}

void HexGrid::FlagDefendedTeam1(Hex* hex)
{
    if (!hex || hex->defendedByTeam1)
        return;
    hex->defendedByTeam1 = 1;
    hex->SetType(HEX_DEFENDED);
    hex->fadeState = FADE_IN;
    m_team1DefendedList.push_back(hex);
}

void HexGrid::AddTeam0Highlight(Hex* hex)
{
    if (hex)
        m_team0List.push_back(hex);
}

void HexGrid::AddTeam1Highlight(Hex* hex)
{
    if (hex)
        m_team1List.push_back(hex);
}

void HexGrid::SetTextureMode(int mode)
{
    if (mode == CURSOR_BLOCKED)
        m_textures[TEXTURE_CURSOR] = m_textures[TEXTURE_BLOCKED];
    else if (mode == CURSOR_MOVEMENT)
        m_textures[TEXTURE_CURSOR] = m_textures[TEXTURE_MOVEMENT];
    else if (mode == CURSOR_OUT_OF_RANGE)
        m_textures[TEXTURE_CURSOR] = m_textures[TEXTURE_OUT_OF_RANGE];
}

void HexGrid::ClearOccupant(const Object* object)
{
    if (!object)
        return;
    for (int i = 0; i < HEX_COUNT; ++i) {
        if (m_hexes[i].occupant == object) {
            m_hexes[i].occupant = nullptr;
            m_hexes[i].SetType(m_hexes[i].defaultType);
        }
    }
}

HexGrid* HexGrid::Current()
{
    return g_currentHexGrid;
}

void HexGrid::SetCurrent(HexGrid* grid)
{
    g_currentHexGrid = grid;
}
