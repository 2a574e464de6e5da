#include "app/logic/key_presses.h"

#include <algorithm>

void pressKey(int* keys, PendingKeys& pending, int code) {
    if (pending.pressLater[code]) {
        pending.pressLaterUp[code] = 0;  // held again before its frame
        return;
    }
    if (!keys[code] && pending.sawDown[code]) {
        // Down, up and down again since the last frame looked: it must see
        // the key up once before this press counts.
        pending.pressLater[code] = 1;
        pending.pressLaterUp[code] = 0;
        return;
    }
    keys[code] = 1;
    pending.unseen[code] = 1;
    pending.releaseLater[code] = 0;  // held again: the earlier release is over
}

void releaseKey(int* keys, PendingKeys& pending, int code) {
    if (pending.pressLater[code]) {
        pending.pressLaterUp[code] = 1;
    } else if (pending.unseen[code]) {
        pending.releaseLater[code] = 1;
    } else {
        keys[code] = 0;
    }
}

void framePolledKeys(int* keys, PendingKeys& pending) {
    for (int code = 0; code < keyCodeCount; ++code) {
        pending.sawDown[code] = keys[code] != 0;
        if (pending.releaseLater[code]) keys[code] = 0;
        pending.unseen[code] = 0;
        pending.releaseLater[code] = 0;
        if (pending.pressLater[code]) {
            // This frame saw the key up; the next one sees the press.
            keys[code] = 1;
            pending.unseen[code] = 1;
            pending.releaseLater[code] = pending.pressLaterUp[code];
            pending.pressLater[code] = 0;
            pending.pressLaterUp[code] = 0;
        }
    }
}

void releaseAllKeys(int* keys, PendingKeys& pending) {
    for (int code = 0; code < keyCodeCount; ++code) releaseKey(keys, pending, code);
}

void clearKeys(int* keys, PendingKeys& pending) {
    std::fill(keys, keys + keyCodeCount, 0);
    pending = PendingKeys{};
}
