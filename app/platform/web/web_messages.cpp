#include "app/platform/web/web_messages.h"

void PageMessages::open(int width, int height, bool fullscreen) {
    open_ = true;
    fullscreen_ = fullscreen;
    width_ = width;
    height_ = height;
}

void PageMessages::close() {
    open_ = false;
    fullscreen_ = false;
    queue.clear();
}

void PageMessages::queueKey(int virtualKey, bool down) {
    PlatformEvent e;
    e.kind = down ? PlatformEvent::Kind::keyDown : PlatformEvent::Kind::keyUp;
    e.code = virtualKey;
    held_[virtualKey] = down;
    queue.push_back(e);
}

bool PageMessages::key(int virtualKey, bool down) {
    if (!open_ || virtualKey <= 0 || virtualKey >= keyCodeCount) return false;
    queueKey(virtualKey, down);
    return true;
}

bool PageMessages::mouse(int kind, int x, int y, int buttons) {
    if (!open_) return false;
    PlatformEvent e;
    switch (kind) {
    case 0:
        e.kind = PlatformEvent::Kind::mouseMove;
        e.x = x;
        e.y = y;
        e.buttons = static_cast<unsigned>(buttons) & (mouseButtonLeft | mouseButtonRight);
        break;
    case 1:
    case 2:
        e.kind = PlatformEvent::Kind::leftButton;
        e.down = kind == 1;
        break;
    case 3:
    case 4:
        e.kind = PlatformEvent::Kind::rightButton;
        e.down = kind == 3;
        break;
    default:
        return false;
    }
    queue.push_back(e);
    return true;
}

bool PageMessages::happened(int kind) {
    if (!open_) return false;
    PlatformEvent e;
    switch (kind) {
    case 0: {
        bool any = false;
        for (int code = 0; code < keyCodeCount; ++code) {
            if (!held_[code]) continue;
            queueKey(code, false);
            any = true;
        }
        return any;
    }
    case 1:
        e.kind = PlatformEvent::Kind::sizeChanged;
        e.sizeKind = SizeKind::minimised;
        break;
    case 2:
        e.kind = PlatformEvent::Kind::sizeChanged;
        e.sizeKind = SizeKind::restored;
        e.x = width_;
        e.y = height_;
        break;
    case 3:
        if (!fullscreen_) return false;
        fullscreen_ = false;
        e.kind = PlatformEvent::Kind::toggleScreenMode;
        break;
    default:
        return false;
    }
    queue.push_back(e);
    return true;
}

bool pageKeepsKey(bool controlReadsKey, bool modified) { return controlReadsKey && !modified; }
