#pragma once

#include "app/GameSession.h"

// The session as each of its callers reaches it: the front end, the board's rules, the board's view, the camera,
// the loading job and the device-resource list. Tests call it the same way.
inline FrontEndLink& FrontEnd(GameSession& session)
{
    return session;
}

inline BattleSession& Rules(GameSession& session)
{
    return session;
}

inline BoardView& View(GameSession& session)
{
    return session;
}

inline CameraTarget& Followed(GameSession& session)
{
    return session;
}

inline JobTarget& LoadingJob(GameSession& session)
{
    return session;
}

inline DeviceResource& Resource(GameSession& session)
{
    return session;
}
