#include "app/key_presses.h"

#include <algorithm>
#include <iterator>

void pressKey(int* keys, PendingKeys& pending, int code) {
    keys[code] = 1;
    pending.unseen[code] = 1;
    pending.releaseLater[code] = 0;  // held again: the earlier release is over
}

void releaseKey(int* keys, PendingKeys& pending, int code) {
    if (pending.unseen[code]) {
        pending.releaseLater[code] = 1;
    } else {
        keys[code] = 0;
    }
}

void framePolledKeys(int* keys, PendingKeys& pending) {
    for (int code = 0; code < keyCodeCount; ++code) {
        if (pending.releaseLater[code]) keys[code] = 0;
    }
    std::fill(std::begin(pending.unseen), std::end(pending.unseen), 0);
    std::fill(std::begin(pending.releaseLater), std::end(pending.releaseLater), 0);
}

void clearKeys(int* keys, PendingKeys& pending) {
    std::fill(keys, keys + keyCodeCount, 0);
    pending = PendingKeys{};
}
