#include "app/platform/win32/win32_messages.h"

#include <shellapi.h>

#include <vector>

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

// The files of a drop, in the order the drop gives them; the drop's handle
// is released.
std::vector<std::string> droppedFiles(HDROP drop) {
    std::vector<std::string> files;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        // Room for the name and its terminating zero; the drop is told the
        // room there is, so a name that does not fit is cut, and left out.
        std::vector<wchar_t> name(length + 1);
        const UINT room = static_cast<UINT>(name.size());
        if (length > 0 && DragQueryFileW(drop, i, name.data(), room) == length) {
            files.push_back(utf8FromWide(name.data()));
        }
    }
    DragFinish(drop);
    return files;
}

}  // namespace

std::string utf8FromWide(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    result.pop_back();  // the terminating zero
    return result;
}

std::wstring wideFromUtf8(const std::string& text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (size <= 1) return {};
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &result[0], size);
    result.pop_back();
    return result;
}

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
    case WM_DROPFILES:
        result = event(Kind::filesDropped, true);
        result.event.files = droppedFiles(reinterpret_cast<HDROP>(wParam));
        result.hasEvent = !result.event.files.empty();
        return result;
    default:
        return result;
    }
}
