#pragma once

#include <cstdint>

// What each frame updates and draws. The values 4 and 7 are reserved and never entered.
enum GameState : int32_t
{
    GAME_STATE_INTRO = 0,
    GAME_STATE_DEPLOYMENT = 1,
    GAME_STATE_MAIN_MENU = 2,
    GAME_STATE_LOADING = 3,
    GAME_STATE_BATTLE = 5,
    GAME_STATE_GAME_OVER = 6,
};
