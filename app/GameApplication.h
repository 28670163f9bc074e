#pragma once
// The game's application object. For now it keeps the window running frames (each frame clears the back buffer
// and presents it) and tells the data manager about the device's life.

#include "app/Application.h"

class GameApplication : public Application {
public:
    GameApplication();
    ~GameApplication() override;

    void Render() override;
    void ReleaseDeviceResources() override;
    void RestoreDeviceResources() override;
    void Shutdown() override;
};
