#pragma once

#include "app/seam/virtual_keys.h"

// Key presses that no frame has seen yet. The controls poll the key array
// once per frame, so a key that goes down and up again between two frames (a
// quick tap on a slow frame, or a remote desktop that sends both at once)
// would otherwise never be seen. Such a key stays down in the array until the
// next frame has run, and comes up right after it.
//
// A key that a frame saw down, and that comes up and goes down again before
// the next frame, is a second press; the controls tell presses apart only by
// a frame that sees the key up between them. So the next frame sees it up,
// and the press waits for the frame after that.
struct PendingKeys {
    unsigned char unseen[keyCodeCount] = {};        // went down since the last frame
    unsigned char releaseLater[keyCodeCount] = {};   // came up again before a frame saw it
    unsigned char sawDown[keyCodeCount] = {};        // down when the last frame polled
    unsigned char pressLater[keyCodeCount] = {};     // pressed again: for the frame after next
    unsigned char pressLaterUp[keyCodeCount] = {};   // ... and already let go again
};

// A key went down or up; code is a virtual-key code below keyCodeCount.
void pressKey(int* keys, PendingKeys& pending, int code);
void releaseKey(int* keys, PendingKeys& pending, int code);

// After each frame's update: the keys that only a late release kept down
// come up, every press counts as seen, and a press held back for a frame
// goes down.
void framePolledKeys(int* keys, PendingKeys& pending);

// Every key released as by releaseKey: a press no frame has seen yet is
// still seen once.
void releaseAllKeys(int* keys, PendingKeys& pending);

// Every key up, nothing pending.
void clearKeys(int* keys, PendingKeys& pending);
