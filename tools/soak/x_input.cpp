#include "tools/soak/x_input.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

}  // namespace

XInput::~XInput() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

bool XInput::open() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return false;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor)) return false;
    XSetErrorHandler(ignoreErrors);
    return true;
}

int XInput::keyCodeOf(unsigned long keySym) const { return XKeysymToKeycode(display_, keySym); }

void XInput::focus(uint64_t window) {
    if (window == 0) return;
    XSetInputFocus(display_, static_cast<Window>(window), RevertToPointerRoot, CurrentTime);
    XFlush(display_);
}

void XInput::key(int keyCode, bool down) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keyCode), down ? True : False, CurrentTime);
    XFlush(display_);
    ++events;
}

void XInput::tap(int keyCode) {
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keyCode), True, CurrentTime);
    XTestFakeKeyEvent(display_, static_cast<unsigned>(keyCode), False, CurrentTime);
    XFlush(display_);
    events += 2;
}

void XInput::moveTo(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    XFlush(display_);
    ++events;
}

void XInput::button(int number, bool down) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(number), down ? True : False, CurrentTime);
    XFlush(display_);
    ++events;
}

void XInput::resize(uint64_t window, int width, int height) {
    if (window == 0) return;
    XResizeWindow(display_, static_cast<Window>(window), static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(display_);
    ++events;
}

void XInput::flush() { XSync(display_, False); }
