#pragma once

// True on every call while the input binding "LBUTTON" is down in this frame's input; the board commands take
// it as the click that confirms a target hex.
bool IsLeftButtonHeld();
