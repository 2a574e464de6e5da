// SDL's events in the program's vocabulary, made up for the purpose: each
// becomes the window procedure's message when it is the program's window's,
// and nothing when it is another window's, outside the client area, or of a
// kind the program does not handle. No display needed.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/platform/sdl/sdl_events.h"
#include "app/seam/virtual_keys.h"
#include "tests/support/platform_event_fields.h"

namespace {

using Kind = PlatformEvent::Kind;

constexpr Uint32 ours = 7;
constexpr Uint32 other = 8;
constexpr Uint32 quitEvent = SDL_USEREVENT + 3;

const SdlWindowState shown{ours, 800, 600, false, false};
const SdlWindowState maximised{ours, 1920, 1080, false, true};
const SdlWindowState minimised{ours, 800, 600, true, false};
const SdlWindowState noWindow{};

SDL_Event windowEvent(Uint8 what, Uint32 window = ours) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = what;
    e.window.windowID = window;
    return e;
}

SDL_Event keyEvent(Uint32 type, SDL_Keycode sym, Uint32 window = ours) {
    SDL_Event e = {};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.windowID = window;
    return e;
}

SDL_Event motion(Sint32 x, Sint32 y, Uint32 state, Uint32 window = ours) {
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = state;
    e.motion.windowID = window;
    return e;
}

SDL_Event button(Uint32 type, Uint8 which, Uint32 window = ours) {
    SDL_Event e = {};
    e.type = type;
    e.button.button = which;
    e.button.windowID = window;
    return e;
}

SDL_Event ofType(Uint32 type) {
    SDL_Event e = {};
    e.type = type;
    return e;
}

// The event a row expects, by the name the rows read best with.
const auto message = [](auto... values) { return platformEvent(values...); };

TEST(SdlEvents, OfTheProgramsWindowBecomeItsMessagesAndTheRestNone) {
    const PlatformEvent none = message(Kind::none);
    const struct {
        const char* what;
        SDL_Event event;
        SdlWindowState window;
        PlatformEvent expected;
    } rows[] = {
        {"the session ends the program", ofType(SDL_QUIT), noWindow, message(Kind::close)},
        {"the close box", windowEvent(SDL_WINDOWEVENT_CLOSE), shown, message(Kind::close)},
        {"another window's close box", windowEvent(SDL_WINDOWEVENT_CLOSE, other), shown, none},
        {"a window event with no window", windowEvent(SDL_WINDOWEVENT_CLOSE, 0), noWindow, none},
        {"focus lost", windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), shown, message(Kind::focusLost)},
        {"focus gained", windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), shown, message(Kind::focusGained)},
        {"minimised", windowEvent(SDL_WINDOWEVENT_MINIMIZED), shown,
         message(Kind::sizeChanged, 0, 0, 0, 0, false, SizeKind::minimised)},
        {"maximised", windowEvent(SDL_WINDOWEVENT_MAXIMIZED), maximised,
         message(Kind::sizeChanged, 0, 1920, 1080, 0, false, SizeKind::maximised)},
        {"restored", windowEvent(SDL_WINDOWEVENT_RESTORED), shown,
         message(Kind::sizeChanged, 0, 800, 600, 0, false, SizeKind::restored)},
        {"resized", windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED), shown,
         message(Kind::sizeChanged, 0, 800, 600, 0, false, SizeKind::restored)},
        {"resized while maximised", windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED), maximised,
         message(Kind::sizeChanged, 0, 1920, 1080, 0, false, SizeKind::maximised)},
        {"resized while minimised", windowEvent(SDL_WINDOWEVENT_SIZE_CHANGED), minimised, none},
        {"moved", windowEvent(SDL_WINDOWEVENT_MOVED), shown, none},
        {"key down", keyEvent(SDL_KEYDOWN, SDLK_SPACE), shown, message(Kind::keyDown, vkSpace)},
        {"key up", keyEvent(SDL_KEYUP, SDLK_F8), shown, message(Kind::keyUp, vkF8)},
        {"a key SDL names no window for", keyEvent(SDL_KEYDOWN, SDLK_r, 0), shown, message(Kind::keyDown, vkR)},
        {"a key of another window", keyEvent(SDL_KEYDOWN, SDLK_r, other), shown, none},
        {"a key with no window", keyEvent(SDL_KEYDOWN, SDLK_r, 0), noWindow, none},
        {"a key without a code", keyEvent(SDL_KEYDOWN, SDLK_VOLUMEUP), shown, none},
        {"a move with the right button", motion(12, 34, SDL_BUTTON_RMASK), shown,
         message(Kind::mouseMove, 0, 12, 34, mouseButtonRight)},
        {"a move to the last pixel", motion(799, 599, SDL_BUTTON_LMASK), shown,
         message(Kind::mouseMove, 0, 799, 599, mouseButtonLeft)},
        {"a move to the first pixel", motion(0, 0, 0), shown, message(Kind::mouseMove)},
        {"left of the window", motion(-1, 10, 0), shown, none},
        {"above the window", motion(10, -1, 0), shown, none},
        {"right of the window", motion(800, 10, 0), shown, none},
        {"below the window", motion(10, 600, 0), shown, none},
        {"a move over another window", motion(12, 34, 0, other), shown, none},
        {"left button down", button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT), shown,
         message(Kind::leftButton, 0, 0, 0, 0, true)},
        {"left button up", button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT), shown, message(Kind::leftButton)},
        {"right button down", button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT), shown,
         message(Kind::rightButton, 0, 0, 0, 0, true)},
        {"right button up", button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT), shown, message(Kind::rightButton)},
        {"the middle button", button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE), shown, none},
        {"a button over another window", button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, other), shown, none},
        {"the quit message", ofType(quitEvent), shown, message(Kind::quit)},
        {"another program-defined event", ofType(quitEvent + 1), shown, none},
        {"a drop's end", ofType(SDL_DROPCOMPLETE), shown, none},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PlatformEvent out;
        out.code = -5;  // a message starts afresh
        EXPECT_EQ(translateSdlEvent(row.event, row.window, quitEvent, out), row.expected.kind != Kind::none);
        if (row.expected.kind != Kind::none) {
            EXPECT_TRUE(fields(out) == fields(row.expected));
        }
    }
}

SDL_Event drop(Uint32 type, const char* file = nullptr, Uint32 window = ours) {
    SDL_Event e = {};
    e.type = type;
    e.drop.file = file != nullptr ? SDL_strdup(file) : nullptr;
    e.drop.windowID = window;
    return e;
}

// The files dropped on the program's window, or on none that SDL could
// name, become one message when the drop completes.
TEST(SdlDrops, GatherTheFilesOfTheProgramsWindowUntilTheDropCompletes) {
    const struct {
        const char* what;
        std::vector<SDL_Event> events;  // between SDL_DROPBEGIN and SDL_DROPCOMPLETE
        SdlWindowState window;
        std::vector<std::string> files;  // of the message; none: no message
    } rows[] = {
        {"a file SDL names no window for", {drop(SDL_DROPFILE, "/a.json", 0)}, shown, {"/a.json"}},
        {"files on two windows", {drop(SDL_DROPFILE, "/b.json", other), drop(SDL_DROPFILE, "/c.json")}, shown,
         {"/c.json"}},
        {"no window to drop on", {drop(SDL_DROPFILE, "/a.json", 0)}, noWindow, {}},
        {"text, no file", {drop(SDL_DROPTEXT, "some text")}, shown, {}},
        {"a file without a name", {drop(SDL_DROPFILE)}, shown, {}},
    };
    std::vector<std::string> gathered = {"/left over from an unfinished drop.json"};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        PlatformEvent out = message(Kind::keyDown, vkR, 5, 6);  // what the message before left: all of it goes
        EXPECT_FALSE(takeSdlDrop(drop(SDL_DROPBEGIN), row.window, gathered, out));
        for (const SDL_Event& e : row.events) EXPECT_FALSE(takeSdlDrop(e, row.window, gathered, out));
        EXPECT_EQ(takeSdlDrop(drop(SDL_DROPCOMPLETE), row.window, gathered, out), !row.files.empty());
        if (!row.files.empty()) {
            EXPECT_TRUE(fields(out) == fields(message(Kind::filesDropped)));
            EXPECT_EQ(out.files, row.files);
            EXPECT_TRUE(gathered.empty()) << "the next drop starts with none";
        }
    }
    PlatformEvent out;
    EXPECT_FALSE(takeSdlDrop(keyEvent(SDL_KEYDOWN, SDLK_r), shown, gathered, out)) << "no drop";
}

}  // namespace

namespace {

// What the translation reads of a real window, on SDL's display-less video
// driver: its ID and client size; neither minimised nor maximised, as a
// window is until a window manager makes it so. No window reads as none.
TEST(SdlWindowState, IsReadFromTheWindow) {
    ASSERT_EQ(SDL_setenv("SDL_VIDEODRIVER", "dummy", 1), 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SDL_Window* window = SDL_CreateWindow("", 0, 0, 320, 200, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    const SdlWindowState state = sdlWindowState(window);
    EXPECT_EQ(state.id, SDL_GetWindowID(window));
    EXPECT_NE(state.id, 0u);
    EXPECT_EQ(state.width, 320);
    EXPECT_EQ(state.height, 200);
    EXPECT_FALSE(state.minimised);
    EXPECT_FALSE(state.maximised);
    SDL_DestroyWindow(window);
    const SdlWindowState none = sdlWindowState(nullptr);
    EXPECT_EQ(none.id, 0u);
    EXPECT_EQ(none.width, 0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
