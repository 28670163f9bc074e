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

// The enumerator's name, as the state log writes it.
inline const char* GameStateName(GameState state)
{
    switch (state) {
    case GAME_STATE_INTRO:
        return "GAME_STATE_INTRO";
    case GAME_STATE_DEPLOYMENT:
        return "GAME_STATE_DEPLOYMENT";
    case GAME_STATE_MAIN_MENU:
        return "GAME_STATE_MAIN_MENU";
    case GAME_STATE_LOADING:
        return "GAME_STATE_LOADING";
    case GAME_STATE_BATTLE:
        return "GAME_STATE_BATTLE";
    case GAME_STATE_GAME_OVER:
        return "GAME_STATE_GAME_OVER";
    }
    return "GAME_STATE_UNKNOWN";
}
