#pragma once
// Starting SDL's video, shared by the window layer and the device layer.

// Takes one reference on SDL's video subsystem; false (SDL's error left for the caller to report) when no
// driver starts. With an X display named and no driver asked for by name, SDL now and then fails to reach the
// display and settles for a driver that shows nothing; the display is there, so a few more tries find it.
bool StartVideo();

// Whether a video driver is one that shows nothing (offscreen, dummy, or none at all).
bool IsStandInVideoDriver(const char* driver);
