// The page's table from the browser's key codes (KeyboardEvent.code) to the
// program's virtual keys, natively: every key the program answers has its
// browser code, and malformed codes name no key.
#include <gtest/gtest.h>

#include <set>

#include "app/logic/controls.h"
#include "app/platform/web/web_keys.h"
#include "app/seam/virtual_keys.h"
#include "tests/app/every_control_key.h"

namespace {

struct Row {
    const char* code;
    int virtualKey;
};

// Every key the program's controls answer, as the browser names it.
const Row controlKeys[] = {
    {"Escape", vkEscape},      {"PageUp", vkPageUp},       {"PageDown", vkPageDown},
    {"F7", vkF7},              {"F8", vkF8},               {"F5", vkF5},
    {"F6", vkF6},              {"F3", vkF3},               {"Space", vkSpace},
    {"KeyA", vkA},             {"KeyR", vkR},              {"ArrowLeft", vkLeft},
    {"ArrowRight", vkRight},   {"ArrowDown", vkDown},      {"ArrowUp", vkUp},
    {"NumpadSubtract", vkSubtract}, {"NumpadAdd", vkAdd},  {"NumpadDivide", vkDivide},
    {"NumpadMultiply", vkMultiply}, {"Period", vkOemPeriod}, {"Comma", vkOemComma},
};

TEST(WebKeys, EveryControlKeyHasItsBrowserCode) {
    std::set<int> named;
    for (const Row& row : controlKeys) {
        EXPECT_EQ(virtualKeyOfCode(row.code), row.virtualKey) << row.code;
        EXPECT_TRUE(isControlKey(row.virtualKey)) << row.code;
        named.insert(row.virtualKey);
    }
    expectEveryControlKeyNamed(named);
}

TEST(WebKeys, RunsAndMalformedCodes) {
    const Row rows[] = {
        {"KeyZ", vkA + 25},     {"Digit0", vkDigit0},   {"Digit9", vkDigit0 + 9},
        {"Numpad0", vkNumpad0}, {"Numpad9", vkNumpad0 + 9}, {"F1", vkF1},
        {"F24", vkF1 + 23},     {"NumpadEnter", vkReturn}, {"ShiftRight", vkShift},
        {"F25", 0},             {"F0", 0},              {"F01", 0},
        {"F123", 0},            {"Key", 0},             {"Keya", 0},
        {"KeyAB", 0},           {"Digit10", 0},         {"Numpad10", 0},
        {"", 0},                {"space", 0},           {"Unidentified", 0},
        // Malformed numbers: none, leading zeros, letters that count as
        // digits would add up to a control key's (F7, Digit0).
        {"F", 0},               {"Digit", 0},           {"Numpad", 0},
        {"F003", 0},            {"Digit01", 0},         {"Numpad01", 0},
        {"F/A", 0},             {"DigitA", 0},          {"Fn", 0},
    };
    for (const Row& row : rows) EXPECT_EQ(virtualKeyOfCode(row.code), row.virtualKey) << '"' << row.code << '"';
    EXPECT_EQ(virtualKeyOfCode(nullptr), 0);
}

}  // namespace
