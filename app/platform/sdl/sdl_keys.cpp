#include "app/platform/sdl/sdl_keys.h"

#include "app/seam/platform.h"
#include "app/seam/virtual_keys.h"

namespace {

struct KeyCode {
    SDL_Keycode sym;
    int virtualKey;
};

// Keys outside the letter, digit and function-key runs.
const KeyCode namedKeys[] = {
    {SDLK_BACKSPACE, vkBackspace}, {SDLK_TAB, vkTab},
    {SDLK_RETURN, vkReturn},       {SDLK_KP_ENTER, vkReturn},
    {SDLK_LSHIFT, vkShift},        {SDLK_RSHIFT, vkShift},
    {SDLK_LCTRL, vkControl},       {SDLK_RCTRL, vkControl},
    {SDLK_LALT, vkMenu},           {SDLK_RALT, vkMenu},
    {SDLK_PAUSE, vkPause},         {SDLK_CAPSLOCK, vkCapsLock},
    {SDLK_ESCAPE, vkEscape},       {SDLK_SPACE, vkSpace},
    {SDLK_PAGEUP, vkPageUp},       {SDLK_PAGEDOWN, vkPageDown},
    {SDLK_END, vkEnd},             {SDLK_HOME, vkHome},
    {SDLK_LEFT, vkLeft},           {SDLK_UP, vkUp},
    {SDLK_RIGHT, vkRight},         {SDLK_DOWN, vkDown},
    {SDLK_PRINTSCREEN, vkPrintScreen}, {SDLK_INSERT, vkInsert},
    {SDLK_DELETE, vkDelete},       {SDLK_LGUI, vkLeftWindows},
    {SDLK_RGUI, vkRightWindows},   {SDLK_APPLICATION, vkApplications},
    {SDLK_KP_0, vkNumpad0},        {SDLK_KP_1, vkNumpad0 + 1},
    {SDLK_KP_2, vkNumpad0 + 2},    {SDLK_KP_3, vkNumpad0 + 3},
    {SDLK_KP_4, vkNumpad0 + 4},    {SDLK_KP_5, vkNumpad0 + 5},
    {SDLK_KP_6, vkNumpad0 + 6},    {SDLK_KP_7, vkNumpad0 + 7},
    {SDLK_KP_8, vkNumpad0 + 8},    {SDLK_KP_9, vkNumpad0 + 9},
    {SDLK_KP_MULTIPLY, vkMultiply}, {SDLK_KP_PLUS, vkAdd},
    {SDLK_KP_MINUS, vkSubtract},   {SDLK_KP_PERIOD, vkDecimal},
    {SDLK_KP_DIVIDE, vkDivide},    {SDLK_NUMLOCKCLEAR, vkNumLock},
    {SDLK_SCROLLLOCK, vkScrollLock}, {SDLK_SEMICOLON, vkOemSemicolon},
    {SDLK_EQUALS, vkOemPlus},      {SDLK_COMMA, vkOemComma},
    {SDLK_MINUS, vkOemMinus},      {SDLK_PERIOD, vkOemPeriod},
    {SDLK_SLASH, vkOemSlash},      {SDLK_BACKQUOTE, vkOemBacktick},
    {SDLK_LEFTBRACKET, vkOemOpenBracket}, {SDLK_BACKSLASH, vkOemBackslash},
    {SDLK_RIGHTBRACKET, vkOemCloseBracket}, {SDLK_QUOTE, vkOemQuote},
};

}  // namespace

int virtualKeyOf(SDL_Keycode sym) {
    if (sym >= SDLK_a && sym <= SDLK_z) return vkA + (sym - SDLK_a);
    if (sym >= SDLK_0 && sym <= SDLK_9) return vkDigit0 + (sym - SDLK_0);
    if (sym >= SDLK_F1 && sym <= SDLK_F12) return vkF1 + (sym - SDLK_F1);
    if (sym >= SDLK_F13 && sym <= SDLK_F24) return vkF1 + 12 + (sym - SDLK_F13);
    for (const KeyCode& k : namedKeys) {
        if (k.sym == sym) return k.virtualKey;
    }
    return 0;
}

// SDL's right button is bit 2 of the motion state; the window procedure
// expects it in bit 1.
unsigned buttonsOf(Uint32 state) {
    unsigned buttons = 0;
    if (state & SDL_BUTTON_LMASK) buttons |= mouseButtonLeft;
    if (state & SDL_BUTTON_RMASK) buttons |= mouseButtonRight;
    return buttons;
}
