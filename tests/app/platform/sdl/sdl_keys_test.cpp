// SDL's keys and mouse buttons in the program's vocabulary: every key the
// program answers has its SDL key, the letter, digit, function-key and
// keypad runs land where they should, and keys the program has no code for
// name none.
#include <gtest/gtest.h>

#include <set>

#include "app/logic/controls.h"
#include "app/platform/sdl/sdl_keys.h"
#include "app/seam/platform.h"
#include "app/seam/virtual_keys.h"
#include "tests/app/every_control_key.h"

namespace {

struct Row {
    SDL_Keycode sym;
    int virtualKey;
};

TEST(SdlKeys, EveryControlKeyHasItsSdlKey) {
    const Row controlKeys[] = {
        {SDLK_ESCAPE, vkEscape},     {SDLK_PAGEUP, vkPageUp},     {SDLK_PAGEDOWN, vkPageDown},
        {SDLK_F7, vkF7},             {SDLK_F8, vkF8},             {SDLK_F5, vkF5},
        {SDLK_F6, vkF6},             {SDLK_F3, vkF3},             {SDLK_SPACE, vkSpace},
        {SDLK_a, vkA},               {SDLK_r, vkR},               {SDLK_LEFT, vkLeft},
        {SDLK_RIGHT, vkRight},       {SDLK_DOWN, vkDown},         {SDLK_UP, vkUp},
        {SDLK_KP_MINUS, vkSubtract}, {SDLK_KP_PLUS, vkAdd},       {SDLK_KP_DIVIDE, vkDivide},
        {SDLK_KP_MULTIPLY, vkMultiply}, {SDLK_PERIOD, vkOemPeriod}, {SDLK_COMMA, vkOemComma},
    };
    std::set<int> named;
    for (const Row& row : controlKeys) {
        EXPECT_EQ(virtualKeyOf(row.sym), row.virtualKey) << SDL_GetKeyName(row.sym);
        EXPECT_TRUE(isControlKey(row.virtualKey)) << SDL_GetKeyName(row.sym);
        named.insert(row.virtualKey);
    }
    expectEveryControlKeyNamed(named);
}

TEST(SdlKeys, RunsAndKeysWithoutACode) {
    const Row rows[] = {
        {SDLK_z, vkA + 25},          {SDLK_0, vkDigit0},          {SDLK_9, vkDigit0 + 9},
        {SDLK_KP_0, vkNumpad0},      {SDLK_KP_9, vkNumpad0 + 9},  {SDLK_F1, vkF1},
        {SDLK_F12, vkF1 + 11},       {SDLK_F13, vkF1 + 12},       {SDLK_F24, vkF1 + 23},
        {SDLK_KP_ENTER, vkReturn},   {SDLK_RSHIFT, vkShift},      {SDLK_KP_PERIOD, vkDecimal},
        {SDLK_UNKNOWN, 0},           {SDLK_VOLUMEUP, 0},          {SDLK_AC_BACK, 0},
    };
    for (const Row& row : rows) EXPECT_EQ(virtualKeyOf(row.sym), row.virtualKey) << SDL_GetKeyName(row.sym);
    // SDL's keypad digits are no run: each has its own row in the table.
    const SDL_Keycode keypad[] = {SDLK_KP_0, SDLK_KP_1, SDLK_KP_2, SDLK_KP_3, SDLK_KP_4,
                                  SDLK_KP_5, SDLK_KP_6, SDLK_KP_7, SDLK_KP_8, SDLK_KP_9};
    for (int digit = 0; digit < 10; ++digit) EXPECT_EQ(virtualKeyOf(keypad[digit]), vkNumpad0 + digit) << digit;
}

TEST(SdlKeys, TheRightButtonMovesToBitOne) {
    EXPECT_EQ(buttonsOf(0), 0u);
    EXPECT_EQ(buttonsOf(SDL_BUTTON_LMASK), mouseButtonLeft);
    EXPECT_EQ(buttonsOf(SDL_BUTTON_RMASK), mouseButtonRight);
    EXPECT_EQ(buttonsOf(SDL_BUTTON_LMASK | SDL_BUTTON_RMASK | SDL_BUTTON_MMASK), mouseButtonLeft | mouseButtonRight);
}

}  // namespace
