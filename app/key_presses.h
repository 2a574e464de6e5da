#pragma once

#include "app/platform/virtual_keys.h"

// Key presses that no frame has seen yet. The controls poll the key array
// once per frame, so a key that goes down and up again between two frames (a
// quick tap on a slow frame, or a remote desktop that sends both at once)
// would otherwise never be seen. Such a key stays down in the array until the
// next frame has run, and comes up right after it.
struct PendingKeys {
    unsigned char unseen[keyCodeCount] = {};       // went down since the last frame
    unsigned char releaseLater[keyCodeCount] = {};  // came up again before a frame saw it
};

// A key went down or up; code is a virtual-key code below keyCodeCount.
void pressKey(int* keys, PendingKeys& pending, int code);
void releaseKey(int* keys, PendingKeys& pending, int code);

// After each frame's update: the keys that only a late release kept down
// come up, and every press counts as seen.
void framePolledKeys(int* keys, PendingKeys& pending);

// Every key up, nothing pending.
void clearKeys(int* keys, PendingKeys& pending);
