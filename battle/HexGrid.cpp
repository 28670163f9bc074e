#include "battle/HexGrid.h"

#include "battle/BattleSession.h"
#include "battle/BoardPointer.h"
#include "core/DataManager.h"
#include "core/GlobalConstants.h"

#include <functional>

HexGrid::HexGrid() : hexes(new Hex[kHexCount])
{
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            hexes[r * kColumns + c].row = r;
            hexes[r * kColumns + c].column = c;
        }
    }
}

// The pointer must not keep a hex of a board that is gone.
HexGrid::~HexGrid()
{
    BoardPointer* pointer = BoardPointer::Get();
    if (!pointer)
        return;
    const std::less<const Hex*> before;
    const Hex* hovered = pointer->GetHovered();
    if (hovered && !before(hovered, &hexes[0]) && before(hovered, &hexes[0] + kHexCount))
        pointer->SetHovered(nullptr);
}

Hex* HexGrid::GetHex(int row, int col)
{
    if (row < 0 || row >= kRows || col < 0 || col >= kColumns)
        return nullptr;
    return &hexes[row * kColumns + col];
}

const Hex* HexGrid::GetHex(int row, int col) const
{
    if (row < 0 || row >= kRows || col < 0 || col >= kColumns)
        return nullptr;
    return &hexes[row * kColumns + col];
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
    if (built)
        ReleaseBuffers();
    DataManager* data = DataManager::Get();
    textures[TEXTURE_MOVEMENT] = data->GetTexture(HexMovementTexture);
    textures[TEXTURE_BLOCKED] = data->GetTexture(HexBlockedTexture);
    textures[TEXTURE_HOVERED_BLOCKED] = data->GetTexture(HexBlockedTexture);
    textures[TEXTURE_OUT_OF_RANGE] = data->GetTexture(HexJustOutOfRangeTexture);
    textures[TEXTURE_CURSOR] = data->GetTexture(HexMouseOverTexture);
    textures[TEXTURE_MOUSE_OVER] = data->GetTexture(HexMouseOverTexture);
    textures[TEXTURE_TEAM0] = data->GetTexture(HexPlayer1Texture);
    textures[TEXTURE_TEAM0_DEFENDED] = data->GetTexture(HexDefendedPlayer1Texture);
    textures[TEXTURE_TEAM1_DEFENDED] = data->GetTexture(HexDefendedPlayer2Texture);
    textures[TEXTURE_TEAM1] = data->GetTexture(HexPlayer2Texture);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            hexes[r * kColumns + c].Build(r, c);
    }
    built = true;
}

void HexGrid::ReleaseBuffers()
{
    if (!built)
        return;
    for (int i = 0; i < kHexCount; ++i)
        hexes[i].ReleaseBuffer();
    pathList.clear();
}

void HexGrid::Update()
{
    const float dt = DataManager::Get()->GetFrameTime();
    for (int i = 0; i < kHexCount; ++i)
        hexes[i].UpdateFade(dt);
}

void HexGrid::SetTexture(IDirect3DDevice9* device, TextureSlot slot) const
{
    const TextureRecord* record = textures[slot];
    device->SetTexture(0, record ? record->texture : nullptr);
}

void HexGrid::DrawList(IDirect3DDevice9* device, std::vector<Hex*>& list) const
{
    if (device) {
        for (const Hex* hex : list)
            hex->Draw(device);
    }
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
        device->SetFVF(Hex::kFvf);
        SetTexture(device, TEXTURE_MOVEMENT);
    }
    DrawList(device, pathList);
    if (device)
        SetTexture(device, TEXTURE_TEAM0);
    DrawList(device, team0List);
    if (device)
        SetTexture(device, TEXTURE_TEAM1);
    DrawList(device, team1List);

    if (device)
        SetTexture(device, TEXTURE_TEAM0_DEFENDED);
    for (Hex* hex : team0DefendedList) {
        hex->defendedByTeam0 = 0;
        if (device)
            hex->Draw(device);
    }
    team0DefendedList.clear();
    if (device)
        SetTexture(device, TEXTURE_TEAM1_DEFENDED);
    for (Hex* hex : team1DefendedList) {
        hex->defendedByTeam1 = 0;
        if (device)
            hex->Draw(device);
    }
    team1DefendedList.clear();
    // The zone hexes keep the texture of the last defended list.
    DrawList(device, zoneList);

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
    for (int i = 0; i < kHexCount; ++i)
        hexes[i].fadeState = state;
}

void HexGrid::ClampAlpha(float value)
{
    for (int i = 0; i < kHexCount; ++i)
        hexes[i].alpha = value < hexes[i].targetAlpha ? value : hexes[i].targetAlpha;
}

Hex* HexGrid::CentreOfType(HexType type)
{
    int rowSum = 0;
    int columnSum = 0;
    int count = 0;
    for (int i = 0; i < kHexCount; ++i) {
        if (hexes[i].type == type) {
            rowSum += hexes[i].row;
            columnSum += hexes[i].column;
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
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            Hex& hex = hexes[r * kColumns + c];
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
        zoneList.push_back(hex);
    else if (hex->type != HEX_BLOCKED && hex->type != HEX_OCCUPIED)
        pathList.push_back(hex);
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
    for (int i = 0; i < kHexCount; ++i) {
        Hex& hex = hexes[i];
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
        pathList.clear();
    for (int i = 0; i < kHexCount; ++i) {
        if (hexes[i].type == type) {
            hexes[i].fadeState = FADE_IN;
            ListByType(&hexes[i]);
        }
    }
}

void HexGrid::ClearPathList()
{
    pathList.clear();
    pathList.shrink_to_fit();
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
    team0DefendedList.push_back(hex);
}

void HexGrid::FlagDefendedTeam1(Hex* hex)
{
    if (!hex || hex->defendedByTeam1)
        return;
    hex->defendedByTeam1 = 1;
    hex->SetType(HEX_DEFENDED);
    hex->fadeState = FADE_IN;
    team1DefendedList.push_back(hex);
}

void HexGrid::AddTeam0Highlight(Hex* hex)
{
    if (hex)
        team0List.push_back(hex);
}

void HexGrid::AddTeam1Highlight(Hex* hex)
{
    if (hex)
        team1List.push_back(hex);
}

void HexGrid::SetTextureMode(int mode)
{
    if (mode == CURSOR_BLOCKED)
        textures[TEXTURE_CURSOR] = textures[TEXTURE_BLOCKED];
    else if (mode == CURSOR_MOVEMENT)
        textures[TEXTURE_CURSOR] = textures[TEXTURE_MOVEMENT];
    else if (mode == CURSOR_OUT_OF_RANGE)
        textures[TEXTURE_CURSOR] = textures[TEXTURE_OUT_OF_RANGE];
}

void HexGrid::ClearOccupant(const Object* object)
{
    if (!object)
        return;
    for (int i = 0; i < kHexCount; ++i) {
        if (hexes[i].occupant == object) {
            hexes[i].occupant = nullptr;
            hexes[i].SetType(hexes[i].defaultType);
        }
    }
}
