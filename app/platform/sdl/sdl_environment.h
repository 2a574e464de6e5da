#pragma once

#include <string>

// Starts SDL's video subsystem for the display the environment names: X11
// when only DISPLAY is set, SDL's choice when WAYLAND_DISPLAY is. Refuses
// SDL's offscreen and dummy drivers, which would run with no window anyone
// can see. False, with the reason in error, when there is no display to
// open; SDL is shut down again then.
bool startSdlVideo(std::string& error);
