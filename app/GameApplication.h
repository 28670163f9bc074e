#pragma once
// The game's application object. For now it only keeps the window running frames: each frame clears the back
// buffer and presents it.

#include "app/Application.h"

class GameApplication : public Application {
public:
    GameApplication();
    ~GameApplication() override;

    void Render() override;
};
