#pragma once

#include <cstdint>

// Input to the X server as a person makes it, through the XTest extension:
// keys by key code, pointer moves, buttons, and window sizes. Every call
// counts as one event sent. Errors about windows that vanished in between
// (the program re-creates its window) are ignored.
class XInput {
public:
    XInput() = default;
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;
    ~XInput();

    // false when the display or its XTest extension is missing.
    bool open();

    // The key code that the X server gives a key symbol; 0 for none.
    int keyCodeOf(unsigned long keySym) const;

    void focus(uint64_t window);
    void key(int keyCode, bool down);
    void tap(int keyCode);  // down and up at once, with no frame between
    void moveTo(int x, int y);
    void button(int number, bool down);  // 1 left, 3 right, 4 and 5 the wheel
    void resize(uint64_t window, int width, int height);
    void flush();

    long events = 0;

private:
    struct _XDisplay* display_ = nullptr;
};
