#include "app/GameApplication.h"

#include "app/DataManager.h"

GameApplication::GameApplication()
{
    DataManager::Get()->SetApplication(this);
}

GameApplication::~GameApplication()
{
    DataManager* data = DataManager::Get();
    if (data->GetApplication() == this) {
        data->SetApplication(nullptr);
    }
}

void GameApplication::Render()
{
    if (!m_device) {
        return;
    }
    m_device->BeginScene();
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(0, 0, 0), 1.0f, 0);
    m_device->EndScene();
    m_device->Present(nullptr, nullptr, nullptr, nullptr);
}

void GameApplication::ReleaseDeviceResources()
{
    DataManager::Get()->OnDeviceLost();
}

void GameApplication::RestoreDeviceResources()
{
    DataManager::Get()->OnDeviceReset();
}

void GameApplication::Shutdown()
{
    DataManager::Get()->ReleaseAll();
}
