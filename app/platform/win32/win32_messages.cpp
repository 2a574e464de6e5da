#include "app/platform/win32/win32_messages.h"

#include "app/platform/win32/platform_win32.h"

static_assert(toggleScreenModeMessage == WM_USER + 1, "the toggle is the first private message");

namespace {

// The low four bits of a system command are the system's own.
constexpr WPARAM systemCommandMask = 0xFFF0;

Win32Translation event(PlatformEvent::Kind kind, bool handled) {
    Win32Translation result;
    result.handled = handled;
    result.hasEvent = true;
    result.event.kind = kind;
    return result;
}

}  // namespace

Win32Translation translateMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    using Kind = PlatformEvent::Kind;
    const int low = LOWORD(lParam);
    const int high = HIWORD(lParam);
    Win32Translation result;
    switch (message) {
    case WM_SYSCOMMAND:
        switch (wParam & systemCommandMask) {
        // No screen saver while the demo runs. The monitor's power-down is
        // kept off by the execution state; the command is swallowed as well
        // for systems that still send it.
        case SC_SCREENSAVE:
        case SC_MONITORPOWER:
            result.handled = true;
            break;
        // Alt or F10 alone would open the window menu's modal loop, which
        // stops the frames until the next key and then eats that key. With a
        // letter (Alt+Space) the user asks for the menu and gets it.
        case SC_KEYMENU:
            result.handled = lParam == 0;
            break;
        default:
            break;
        }
        return result;
    case WM_CLOSE:
        return event(Kind::close, true);
    case WM_ACTIVATEAPP:
        // Another program took the keys (Alt+Tab, the Windows key, a
        // notification), or the program has them again.
        return event(wParam ? Kind::focusGained : Kind::focusLost, false);
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        if (wParam > 255) return result;
        // A key let go while Alt is held comes up as a system key; it still
        // goes on to the default handling, which keeps Alt+F4 and Alt+Space.
        result = event(message == WM_KEYDOWN ? Kind::keyDown : Kind::keyUp, message != WM_SYSKEYUP);
        result.event.code = static_cast<int>(wParam);
        return result;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            result = event(Kind::sizeChanged, true);
            result.event.sizeKind = SizeKind::minimised;
        } else if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED) {
            result = event(Kind::sizeChanged, true);
            result.event.sizeKind = wParam == SIZE_MAXIMIZED ? SizeKind::maximised : SizeKind::restored;
            result.event.x = low;
            result.event.y = high;
        }
        return result;
    case WM_MOUSEMOVE:
        result = event(Kind::mouseMove, false);
        result.event.x = low;
        result.event.y = high;
        result.event.buttons =
            ((wParam & MK_LBUTTON) ? mouseButtonLeft : 0u) | ((wParam & MK_RBUTTON) ? mouseButtonRight : 0u);
        return result;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        result = event(Kind::leftButton, false);
        result.event.down = message == WM_LBUTTONDOWN;
        return result;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        result = event(Kind::rightButton, false);
        result.event.down = message == WM_RBUTTONDOWN;
        return result;
    case toggleScreenModeMessage:
        return event(Kind::toggleScreenMode, false);
    default:
        return result;
    }
}
