#include "app/platform/web/web_keys.h"

#include <cstring>

#include "app/seam/virtual_keys.h"

namespace {

struct NamedKey {
    const char* code;
    int virtualKey;
};

// Keys outside the letter, digit, function-key and numeric-pad digit runs.
const NamedKey namedKeys[] = {
    {"Backspace", vkBackspace},   {"Tab", vkTab},
    {"Enter", vkReturn},          {"NumpadEnter", vkReturn},
    {"ShiftLeft", vkShift},       {"ShiftRight", vkShift},
    {"ControlLeft", vkControl},   {"ControlRight", vkControl},
    {"AltLeft", vkMenu},          {"AltRight", vkMenu},
    {"Pause", vkPause},           {"CapsLock", vkCapsLock},
    {"Escape", vkEscape},         {"Space", vkSpace},
    {"PageUp", vkPageUp},         {"PageDown", vkPageDown},
    {"End", vkEnd},               {"Home", vkHome},
    {"ArrowLeft", vkLeft},        {"ArrowUp", vkUp},
    {"ArrowRight", vkRight},      {"ArrowDown", vkDown},
    {"PrintScreen", vkPrintScreen}, {"Insert", vkInsert},
    {"Delete", vkDelete},         {"MetaLeft", vkLeftWindows},
    {"MetaRight", vkRightWindows}, {"ContextMenu", vkApplications},
    {"NumpadMultiply", vkMultiply}, {"NumpadAdd", vkAdd},
    {"NumpadSubtract", vkSubtract}, {"NumpadDecimal", vkDecimal},
    {"NumpadDivide", vkDivide},   {"NumLock", vkNumLock},
    {"ScrollLock", vkScrollLock}, {"Semicolon", vkOemSemicolon},
    {"Equal", vkOemPlus},         {"Comma", vkOemComma},
    {"Minus", vkOemMinus},        {"Period", vkOemPeriod},
    {"Slash", vkOemSlash},        {"Backquote", vkOemBacktick},
    {"BracketLeft", vkOemOpenBracket}, {"Backslash", vkOemBackslash},
    {"BracketRight", vkOemCloseBracket}, {"Quote", vkOemQuote},
};

constexpr int functionKeys = 24;  // F1 .. F24

// The number after prefix in code ("F12" -> 12), or -1 when code is not
// prefix followed by one or two digits.
int numberAfter(const char* code, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (std::strncmp(code, prefix, n) != 0) return -1;
    const char* digits = code + n;
    const std::size_t length = std::strlen(digits);
    if (length < 1 || length > 2) return -1;
    int value = 0;
    for (const char* d = digits; *d != '\0'; ++d) {
        if (*d < '0' || *d > '9') return -1;
        value = value * 10 + (*d - '0');
    }
    if (length == 2 && digits[0] == '0') return -1;
    return value;
}

}  // namespace

int virtualKeyOfCode(const char* code) {
    if (code == nullptr) return 0;
    if (std::strncmp(code, "Key", 3) == 0 && code[3] >= 'A' && code[3] <= 'Z' && code[4] == '\0') {
        return vkA + (code[3] - 'A');
    }
    const int digit = numberAfter(code, "Digit");
    if (digit >= 0 && digit <= 9) return vkDigit0 + digit;
    const int pad = numberAfter(code, "Numpad");
    if (pad >= 0 && pad <= 9) return vkNumpad0 + pad;
    const int f = numberAfter(code, "F");
    if (f >= 1 && f <= functionKeys) return vkF1 + (f - 1);
    for (const NamedKey& k : namedKeys) {
        if (std::strcmp(k.code, code) == 0) return k.virtualKey;
    }
    return 0;
}
