#pragma once

// The virtual-key code of a key as a browser names it: KeyboardEvent.code,
// the key's place on the keyboard ("KeyA", "F5", "NumpadAdd"), which is what
// the desktop's key codes stand for too. 0 for a key that has none.
int virtualKeyOfCode(const char* code);
