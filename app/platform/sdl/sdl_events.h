#pragma once

// SDL's events in the program's own vocabulary: the window procedure's
// message for each event of the program's window (app/seam/platform.h).

#include <SDL.h>

#include <string>
#include <vector>

#include "app/seam/platform.h"

// What a translation needs to know of the program's window, read when the
// event is taken.
struct SdlWindowState {
    Uint32 id = 0;            // SDL's window ID; 0 while there is no window
    int width = 0;            // client size, pixels
    int height = 0;
    bool minimised = false;
    bool maximised = false;
};

// The state of window (null: none) as SDL reports it now.
SdlWindowState sdlWindowState(SDL_Window* window);

// The message for e, an event that is not part of a drop; false for events
// that are not the program's: those of other windows (an earlier
// generation's, a message box) and those it does not handle. quitEvent is
// the type of the program's quit message.
bool translateSdlEvent(const SDL_Event& e, const SdlWindowState& window, Uint32 quitEvent, PlatformEvent& out);

// A drop of files comes as one event per file between SDL_DROPBEGIN and
// SDL_DROPCOMPLETE; the program is told of them together, when the drop
// completes, so that it can tell one file from several. Gathers the files
// dropped on the program's window in files; returns true when e completes a
// drop of at least one, with out its message. Returns false for every other
// event, of a drop or not. The file names SDL made are freed whatever
// becomes of them.
bool takeSdlDrop(const SDL_Event& e, const SdlWindowState& window, std::vector<std::string>& files,
                 PlatformEvent& out);
