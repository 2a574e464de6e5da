#include "app/platform/sdl/sdl_environment.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

bool startSdlVideo(std::string& error) {
    // Without a display server to name, SDL would fall back to its offscreen
    // driver and run with no window anyone can see.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        error = "neither DISPLAY nor WAYLAND_DISPLAY is set";
        return false;
    }
    // An X display alone means X11: trying Wayland first only prints its own
    // complaint when the X display cannot be opened.
    if (std::getenv("WAYLAND_DISPLAY") == nullptr) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
    // The quit message is the program's own; SDL's quit event arrives only
    // as a request to close, also when the last window closes.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        const char* display = std::getenv("DISPLAY");
        error = std::string(display ? "cannot open DISPLAY=" : "cannot open WAYLAND_DISPLAY=") +
                (display ? display : std::getenv("WAYLAND_DISPLAY")) + ": " + SDL_GetError();
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        error = std::string("no on-screen video driver, only ") + (driver ? driver : "none");
        SDL_Quit();
        return false;
    }
    // The program reads keys, never text. SDL keeps the screen saver and
    // monitor power-down off while its video runs.
    SDL_StopTextInput();
    return true;
}
