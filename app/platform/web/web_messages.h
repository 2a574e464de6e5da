#pragma once

// The page's messages in the program's vocabulary: what page.js's handlers
// hand over as plain numbers (through the functions web_platform.cpp exports
// to it) becomes the window procedure's messages here, queued for the loop.
// Plain C++, so that the table is checked natively as the key table is.

#include <deque>

#include "app/seam/platform.h"
#include "app/seam/virtual_keys.h"

class PageMessages {
public:
    // The messages not yet taken, oldest first.
    std::deque<PlatformEvent> queue;

    // The canvas became the window, of width x height window pixels, in full
    // screen or not; only an open window takes messages.
    void open(int width, int height, bool fullscreen);
    // The window went: nothing queued for it stays. The keys held stay
    // held: the canvas that the next window opens on still has them down.
    void close();
    bool isOpen() const { return open_; }

    // Each of the following queues what the page's event means for an open
    // window and returns whether it queued anything.

    // A key of the keyboard, by its virtual-key code (0 for a key that has
    // none), or one that a control of the page stands for: down or up.
    bool key(int virtualKey, bool down);

    // The mouse, as page.js numbers it: kind 0 a move to (x, y) in client
    // pixels with buttons held (bit 0 left, bit 1 right), 1 and 2 the left
    // button down and up, 3 and 4 the right one.
    bool mouse(int kind, int x, int y, int buttons);

    // What happened to the page: 0 the canvas lost the keyboard (every key
    // held comes up, as when a desktop window loses the focus), 1 the page
    // was hidden (the window minimised), 2 shown again (restored at its
    // size), 3 the browser left full screen by itself, as the user's Escape
    // there makes it: the window comes back windowed, as the screen-mode
    // toggle makes it (only from full screen).
    bool happened(int kind);

private:
    void queueKey(int virtualKey, bool down);

    bool open_ = false;
    bool fullscreen_ = false;
    int width_ = 0;
    int height_ = 0;
    bool held_[keyCodeCount] = {};
};

// Whether the page keeps the browser from acting on a key: one that a
// control reads, pressed without Control, Alt or Meta, so that the
// browser's own shortcuts with them stay.
bool pageKeepsKey(bool controlReadsKey, bool modified);
