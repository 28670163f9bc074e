#include "scene/StarField.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Math.h"
#include "scene/Camera.h"

StarField::~StarField()
{
    if (m_vertexBuffer)
        m_vertexBuffer->Release();
}

void StarField::Init()
{
    DataManager* data = DataManager::Get();
    m_texture = data->GetTexture("stars.tga");
    IDirect3DDevice9* device = data->GetDevice();
    if (!device || m_vertexBuffer)
        return;
    if (FAILED(device->CreateVertexBuffer(kVertexCount * sizeof(Vertex), 0, FVF, D3DPOOL_MANAGED, &m_vertexBuffer,
                                          nullptr))) {
        m_vertexBuffer = nullptr;
        return;
    }
    void* locked = nullptr;
    if (FAILED(m_vertexBuffer->Lock(0, 0, &locked, 0)) || !locked)
        return;
    auto* out = static_cast<Vertex*>(locked);
    const float s = m_halfEdge, t = m_repeat;
    // Each face as its four corners seen from inside the cube: bottom-left, top-left, bottom-right, top-right.
    const float faces[6][4][3] = {
        {{-s, -s, -s}, {-s, s, -s}, {s, -s, -s}, {s, s, -s}}, // z = -s
        {{s, -s, s}, {s, s, s}, {-s, -s, s}, {-s, s, s}}, // z = +s
        {{-s, -s, s}, {-s, s, s}, {-s, -s, -s}, {-s, s, -s}}, // x = -s
        {{s, -s, -s}, {s, s, -s}, {s, -s, s}, {s, s, s}}, // x = +s
        {{-s, s, -s}, {-s, s, s}, {s, s, -s}, {s, s, s}}, // y = +s
        {{-s, -s, s}, {-s, -s, -s}, {s, -s, s}, {s, -s, -s}}, // y = -s
    };
    const float uv[4][2] = {{0.0f, t}, {0.0f, 0.0f}, {t, t}, {t, 0.0f}};
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (const auto& face : faces)
        for (int k : order)
            *out++ = Vertex{face[k][0], face[k][1], face[k][2], uv[k][0], uv[k][1]};
    m_vertexBuffer->Unlock();
}

void StarField::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device || !m_vertexBuffer)
        return;
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    D3DXMATRIX world;
    const D3DXVECTOR3& eye = Camera::Get()->GetEye();
    D3DXMatrixTranslation(&world, eye.x, eye.y, eye.z);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetFVF(FVF);
    device->SetTexture(0, m_texture ? m_texture->texture : nullptr);
    device->SetStreamSource(0, m_vertexBuffer, 0, sizeof(Vertex));
    device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 12);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
}

void StarField::Release()
{
    if (m_vertexBuffer) {
        m_vertexBuffer->Release();
        m_vertexBuffer = nullptr;
    }
    if (m_texture && m_texture->referenceCount > 0)
        --m_texture->referenceCount;
    m_texture = nullptr;
}
