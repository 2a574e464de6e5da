#pragma once

// Key codes in the virtual-key numbering: the index into keyDown. The platform
// layer translates its own key symbols into these; the controls read them.
// Letters and digits are their upper-case ASCII codes ('A' = 0x41, '0' = 0x30).
constexpr int vkBackspace = 0x08;
constexpr int vkTab = 0x09;
constexpr int vkReturn = 0x0D;
constexpr int vkShift = 0x10;
constexpr int vkControl = 0x11;
constexpr int vkMenu = 0x12;  // Alt
constexpr int vkPause = 0x13;
constexpr int vkCapsLock = 0x14;
constexpr int vkEscape = 0x1B;
constexpr int vkSpace = 0x20;
constexpr int vkPageUp = 0x21;
constexpr int vkPageDown = 0x22;
constexpr int vkEnd = 0x23;
constexpr int vkHome = 0x24;
constexpr int vkLeft = 0x25;
constexpr int vkUp = 0x26;
constexpr int vkRight = 0x27;
constexpr int vkDown = 0x28;
constexpr int vkPrintScreen = 0x2C;
constexpr int vkInsert = 0x2D;
constexpr int vkDelete = 0x2E;
constexpr int vkDigit0 = 0x30;
constexpr int vkA = 0x41;
constexpr int vkR = 0x52;
constexpr int vkLeftWindows = 0x5B;
constexpr int vkRightWindows = 0x5C;
constexpr int vkApplications = 0x5D;
constexpr int vkNumpad0 = 0x60;
constexpr int vkMultiply = 0x6A;  // numeric pad *
constexpr int vkAdd = 0x6B;       // numeric pad +
constexpr int vkSubtract = 0x6D;  // numeric pad -
constexpr int vkDecimal = 0x6E;   // numeric pad .
constexpr int vkDivide = 0x6F;    // numeric pad /
constexpr int vkF1 = 0x70;        // F1..F24 are consecutive
constexpr int vkF3 = 0x72;
constexpr int vkF5 = 0x74;
constexpr int vkF6 = 0x75;
constexpr int vkF7 = 0x76;
constexpr int vkF8 = 0x77;
constexpr int vkNumLock = 0x90;
constexpr int vkScrollLock = 0x91;
constexpr int vkOemSemicolon = 0xBA;  // ; on a US layout
constexpr int vkOemPlus = 0xBB;       // = / +
constexpr int vkOemComma = 0xBC;
constexpr int vkOemMinus = 0xBD;
constexpr int vkOemPeriod = 0xBE;
constexpr int vkOemSlash = 0xBF;
constexpr int vkOemBacktick = 0xC0;
constexpr int vkOemOpenBracket = 0xDB;
constexpr int vkOemBackslash = 0xDC;
constexpr int vkOemCloseBracket = 0xDD;
constexpr int vkOemQuote = 0xDE;

// Size of the key array: codes 0..255.
constexpr int keyCodeCount = 256;
