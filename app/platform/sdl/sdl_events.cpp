#include "app/platform/sdl/sdl_events.h"

#include <utility>

#include "app/platform/sdl/sdl_keys.h"

namespace {

// Events of windows other than the current one (a window of an earlier
// generation, a message box) are not the program's.
bool forWindow(const SdlWindowState& window, Uint32 windowId) { return window.id != 0 && windowId == window.id; }

// The current client size, with the size change's kind.
void sizeEvent(const SdlWindowState& window, SizeKind kind, PlatformEvent& out) {
    out.kind = PlatformEvent::Kind::sizeChanged;
    out.sizeKind = kind;
    out.x = window.width;
    out.y = window.height;
}

}  // namespace

SdlWindowState sdlWindowState(SDL_Window* window) {
    SdlWindowState state;
    if (window == nullptr) return state;
    state.id = SDL_GetWindowID(window);
    SDL_GetWindowSize(window, &state.width, &state.height);
    const Uint32 flags = SDL_GetWindowFlags(window);
    state.minimised = (flags & SDL_WINDOW_MINIMIZED) != 0;
    state.maximised = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    return state;
}

bool translateSdlEvent(const SDL_Event& e, const SdlWindowState& window, Uint32 quitEvent, PlatformEvent& out) {
    using Kind = PlatformEvent::Kind;
    out = PlatformEvent{};
    switch (e.type) {
    case SDL_QUIT:  // a signal or the session asking the program to end
        out.kind = Kind::close;
        return true;
    case SDL_WINDOWEVENT:
        if (!forWindow(window, e.window.windowID)) return false;
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = Kind::close; return true;
        // SDL itself lets go of every held key when the focus leaves, and
        // minimises a full-screen window with the desktop's mode back.
        case SDL_WINDOWEVENT_FOCUS_LOST: out.kind = Kind::focusLost; return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.kind = Kind::focusGained; return true;
        case SDL_WINDOWEVENT_MINIMIZED: out.kind = Kind::sizeChanged; out.sizeKind = SizeKind::minimised; return true;
        case SDL_WINDOWEVENT_MAXIMIZED: sizeEvent(window, SizeKind::maximised, out); return true;
        case SDL_WINDOWEVENT_RESTORED: sizeEvent(window, SizeKind::restored, out); return true;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            if (window.minimised) return false;
            sizeEvent(window, window.maximised ? SizeKind::maximised : SizeKind::restored, out);
            return true;
        default: return false;
        }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        // SDL names no window for keys that arrive in the first moments
        // after the window gains the focus; they are the window's too.
        if (window.id == 0) return false;
        if (e.key.windowID != 0 && !forWindow(window, e.key.windowID)) return false;
        out.kind = e.type == SDL_KEYDOWN ? Kind::keyDown : Kind::keyUp;
        out.code = virtualKeyOf(e.key.keysym.sym);
        return out.code != 0;
    case SDL_MOUSEMOTION:
        if (!forWindow(window, e.motion.windowID)) return false;
        // X keeps reporting a dragging pointer beyond the window, at
        // negative or too large positions; the window procedure expects
        // moves inside its client area only.
        if (e.motion.x < 0 || e.motion.y < 0 || e.motion.x >= window.width || e.motion.y >= window.height) {
            return false;
        }
        out.kind = Kind::mouseMove;
        out.x = e.motion.x;
        out.y = e.motion.y;
        out.buttons = buttonsOf(e.motion.state);
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (!forWindow(window, e.button.windowID)) return false;
        if (e.button.button == SDL_BUTTON_LEFT) {
            out.kind = Kind::leftButton;
        } else if (e.button.button == SDL_BUTTON_RIGHT) {
            out.kind = Kind::rightButton;
        } else {
            return false;
        }
        out.down = e.type == SDL_MOUSEBUTTONDOWN;
        return true;
    default:
        if (e.type != quitEvent) return false;
        out.kind = Kind::quit;
        return true;
    }
}

bool takeSdlDrop(const SDL_Event& e, const SdlWindowState& window, std::vector<std::string>& files,
                 PlatformEvent& out) {
    switch (e.type) {
    case SDL_DROPBEGIN:
        files.clear();
        return false;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
        if (e.drop.file == nullptr) return false;
        // SDL names no window for a drop that X could not place.
        if (e.type == SDL_DROPFILE && window.id != 0 && (e.drop.windowID == 0 || forWindow(window, e.drop.windowID))) {
            files.emplace_back(e.drop.file);
        }
        SDL_free(e.drop.file);
        return false;
    case SDL_DROPCOMPLETE:
        if (files.empty()) return false;
        out = PlatformEvent{};
        out.kind = PlatformEvent::Kind::filesDropped;
        out.files = std::move(files);
        files.clear();
        return true;
    default:
        return false;
    }
}
