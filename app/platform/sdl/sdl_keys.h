#pragma once

// SDL's keys and mouse buttons in the program's own vocabulary
// (app/seam/virtual_keys.h, app/seam/platform.h).

#include <SDL.h>

// The virtual-key code of an SDL key, 0 for a key that has none.
int virtualKeyOf(SDL_Keycode sym);

// The mouse buttons held in an SDL motion state, as mouseButtonLeft and
// mouseButtonRight bits.
unsigned buttonsOf(Uint32 state);
