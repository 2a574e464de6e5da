// The Win32 layer's own parts under Wine: the window procedure's
// translation of messages made up for the purpose, the clock, and the
// program's manifest as Windows' loader reads it.

#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>
#include <tuple>
#include <vector>

#include "app/platform/win32/platform_win32.h"
#include "app/platform/win32/win32_messages.h"
#include "app/platform/win32/win32_ticks.h"
#include "tests/support/platform_event_fields.h"

namespace {

using Kind = PlatformEvent::Kind;

// The event a row expects, by the name the rows read best with.
const auto event = [](auto... values) { return platformEvent(values...); };

TEST(Win32Messages, BecomeTheProgramsEventsAndLeaveTheSystemsOwnToTheDefault) {
    const PlatformEvent none = event(Kind::none);
    const struct {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool handled;  // else the default handling runs too
        PlatformEvent expected;
    } rows[] = {
        {"key down", WM_KEYDOWN, VK_SPACE, 0x00390001, true, event(Kind::keyDown, VK_SPACE)},
        {"a key held, repeating", WM_KEYDOWN, VK_NEXT, 0x40510001, true, event(Kind::keyDown, VK_NEXT)},
        {"the last code of the key array", WM_KEYDOWN, 0xFF, 0, true, event(Kind::keyDown, 0xFF)},
        {"key up", WM_KEYUP, VK_PRIOR, 0xC1490001, true, event(Kind::keyUp, VK_PRIOR)},
        {"a code beyond the key array", WM_KEYDOWN, 0x1FF, 0, false, none},
        {"the first code beyond it", WM_KEYUP, 0x100, 0, false, none},
        {"the window's close box", WM_CLOSE, 0, 0, true, event(Kind::close)},
        {"maximised", WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1920, 1080), true,
         event(Kind::sizeChanged, 0, 1920, 1080, 0, false, SizeKind::maximised)},
        {"a key let go while Alt is held", WM_SYSKEYUP, VK_PRIOR, 0xE1490001, false, event(Kind::keyUp, VK_PRIOR)},
        {"Alt+F4 goes on to close the window", WM_SYSKEYDOWN, VK_F4, 0x203E0001, false, none},
        {"another program takes the focus", WM_ACTIVATEAPP, FALSE, 0x1234, false, event(Kind::focusLost)},
        {"the focus comes back", WM_ACTIVATEAPP, TRUE, 0x1234, false, event(Kind::focusGained)},
        {"restored", WM_SIZE, SIZE_RESTORED, MAKELPARAM(800, 600), true,
         event(Kind::sizeChanged, 0, 800, 600, 0, false, SizeKind::restored)},
        {"minimised", WM_SIZE, SIZE_MINIMIZED, 0, true,
         event(Kind::sizeChanged, 0, 0, 0, 0, false, SizeKind::minimised)},
        {"another window maximised", WM_SIZE, SIZE_MAXHIDE, MAKELPARAM(1024, 768), false, none},
        {"mouse move, words unsigned", WM_MOUSEMOVE, MK_RBUTTON | MK_SHIFT, MAKELPARAM(40000, 12), false,
         event(Kind::mouseMove, 0, 40000, 12, mouseButtonRight)},
        {"mouse move with both buttons", WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, MAKELPARAM(0, 65535), false,
         event(Kind::mouseMove, 0, 0, 65535, mouseButtonLeft | mouseButtonRight)},
        {"left button down", WM_LBUTTONDOWN, MK_LBUTTON, 0, false, event(Kind::leftButton, 0, 0, 0, 0, true)},
        {"left button up", WM_LBUTTONUP, 0, MAKELPARAM(5, 6), false, event(Kind::leftButton)},
        {"right button down", WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6), false,
         event(Kind::rightButton, 0, 0, 0, 0, true)},
        {"right button up", WM_RBUTTONUP, 0, MAKELPARAM(5, 6), false, event(Kind::rightButton)},
        {"the middle button", WM_MBUTTONDOWN, MK_MBUTTON, 0, false, none},
        {"toggleScreenMode", toggleScreenModeMessage, 0, 0, false, event(Kind::toggleScreenMode)},
        {"monitor power-down, low bits set", WM_SYSCOMMAND, SC_MONITORPOWER | 0x2, 2, true, none},
        {"the screen saver", WM_SYSCOMMAND, SC_SCREENSAVE, 0, true, none},
        {"the screen saver, low bits set", WM_SYSCOMMAND, SC_SCREENSAVE | 0xF, 0, true, none},
        {"minimise from the window menu", WM_SYSCOMMAND, SC_MINIMIZE, 0, false, none},
        {"a system key up beyond the key array", WM_SYSKEYUP, 0x100, 0, false, none},
        {"a message the program leaves alone", WM_PAINT, 0, 0, false, none},
        {"a lone Alt or F10", WM_SYSCOMMAND, SC_KEYMENU, 0, true, none},
        {"Alt+Space opens the window menu", WM_SYSCOMMAND, SC_KEYMENU, ' ', false, none},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const Win32Translation t = translateMessage(row.message, row.wParam, row.lParam);
        EXPECT_EQ(t.handled, row.handled);
        EXPECT_EQ(t.hasEvent, row.expected.kind != Kind::none);
        if (t.hasEvent) {
            EXPECT_TRUE(fields(t.event) == fields(row.expected));
        }
    }
}

// A drop as the shell makes it: a DROPFILES header, then the files' wide
// names, each ended by a zero, and a zero more (two for no file: the list
// ends where a name is empty).
HDROP makeDrop(const std::vector<std::wstring>& files) {
    std::wstring names;
    for (const std::wstring& f : files) names += f + L'\0';
    names += files.empty() ? std::wstring(2, L'\0') : std::wstring(1, L'\0');
    const SIZE_T bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// Files dropped on the window: their names in UTF-8, whatever characters
// they hold, in the order of the drop; the drop's memory is released.
TEST(Win32Messages, DroppedFilesBecomeOneMessageWithTheirNamesInUtf8) {
    const struct {
        std::vector<std::wstring> files;
        std::vector<std::string> expected;
    } rows[] = {
        {{L"C:\\Szenen\\Kugel auf W\u00FCrfel.json"}, {"C:\\Szenen\\Kugel auf W\xC3\xBCrfel.json"}},
        {{L"D:\\\u65E5\u672C\\a.json", L"\\\\server\\share\\\U0001F3B1.json"},
         {"D:\\\xE6\x97\xA5\xE6\x9C\xAC\\a.json", "\\\\server\\share\\\xF0\x9F\x8E\xB1.json"}},
    };
    for (const auto& row : rows) {
        const HDROP drop = makeDrop(row.files);
        const Win32Translation t = translateMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_TRUE(t.handled);
        ASSERT_TRUE(t.hasEvent);
        EXPECT_EQ(t.event.kind, Kind::filesDropped);
        EXPECT_EQ(t.event.files, row.expected);
        EXPECT_EQ(GlobalFlags(drop), GMEM_INVALID_HANDLE);  // DragFinish freed it
    }
    // A drop of no file is no message.
    const Win32Translation empty = translateMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(makeDrop({})), 0);
    EXPECT_FALSE(empty.hasEvent) << testing::PrintToString(empty.event.files);
}

TEST(Utf8AndWide, GoBothWaysAndMarkALoneSurrogate) {
    const std::wstring wide = L"Pr\u00E4llwerk \u20AC \U0001F3B1";
    const std::string utf8 = "Pr\xC3\xA4llwerk \xE2\x82\xAC \xF0\x9F\x8E\xB1";
    EXPECT_EQ(utf8FromWide(wide.c_str()), utf8);
    EXPECT_EQ(wideFromUtf8(utf8), wide);
    EXPECT_EQ(utf8FromWide(L""), "");
    EXPECT_EQ(wideFromUtf8(""), L"");
    const wchar_t lone[] = {L'a', 0xD800, L'b', 0};
    EXPECT_EQ(utf8FromWide(lone), "a\xEF\xBF\xBD" "b");
}

__extension__ typedef unsigned __int128 Wide;  // holds count x 1000 for any count

// Exact for any counter frequency and count, and stepping by 16 or 17 ms at
// 60 frames a second (4 or 5 at 240) also where the 32-bit count wraps.
TEST(PerformanceMilliseconds, AreExactAndWrapWithoutAHitch) {
    for (const uint64_t frequency : {3579545ull, 10000000ull, 2400000000ull}) {
        SCOPED_TRACE(frequency);
        const uint64_t wrap = (uint64_t{1} << 32) * frequency / 1000;  // counts to the first wrap
        for (const uint64_t count : {uint64_t{0}, frequency - 1, frequency, wrap - 1, wrap, wrap + 1,
                                     wrap * 3 + frequency / 7, uint64_t{1} << 62}) {
            const auto exact = static_cast<uint32_t>(static_cast<Wide>(count) * 1000 / frequency);
            EXPECT_EQ(countToMilliseconds(count, frequency), exact) << count;
        }
        for (const uint64_t hz : {60, 240}) {
            const uint64_t start = wrap - frequency / 2;  // half a second before the wrap
            uint32_t last = countToMilliseconds(start, frequency);
            for (uint64_t frame = 1; frame <= hz; ++frame) {
                const uint32_t now = countToMilliseconds(start + frequency * frame / hz, frequency);
                const uint32_t elapsed = now - last;
                EXPECT_TRUE(elapsed == 1000 / hz || elapsed == 1000 / hz + 1) << hz << " Hz, frame " << frame;
                last = now;
            }
        }
    }
}

std::wstring setting(HANDLE context, const wchar_t* space, const wchar_t* name) {
    wchar_t value[128] = {};
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, space, name, value, 128, &written)) return L"(none)";
    return value;
}

// Per-monitor DPI awareness (v2, and v1 for the Windows 10 releases before
// it), Common Controls 6 and Windows 10 among the systems made for.
TEST(ProgramManifest, AsTheLoaderReadsIt) {
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = PRALLWERK_PROGRAM;
    request.lpResourceName = MAKEINTRESOURCEW(1);
    const HANDLE context = CreateActCtxW(&request);
    ASSERT_NE(context, INVALID_HANDLE_VALUE) << "no manifest in " << PRALLWERK_PROGRAM << ": " << GetLastError();

    EXPECT_EQ(setting(context, L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
              L"PerMonitorV2, PerMonitor");
    EXPECT_EQ(setting(context, nullptr, L"dpiAware"), L"true/pm");

    // Windows' layout of the list of systems has changed with its versions;
    // Windows 10's identifier is in it either way.
    std::vector<char> list(4096);
    SIZE_T size = 0;
    ASSERT_TRUE(QueryActCtxW(0, context, nullptr, CompatibilityInformationInActivationContext, list.data(),
                             list.size(), &size));
    const GUID windows10 = {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}};
    const char* id = reinterpret_cast<const char*>(&windows10);
    EXPECT_NE(std::search(list.begin(), list.begin() + size, id, id + sizeof windows10), list.begin() + size);

    // The message boxes' controls come from Common Controls 6 in WinSxS.
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    const HMODULE controls = LoadLibraryW(L"comctl32.dll");
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(controls, path, MAX_PATH);
    if (controls != nullptr) FreeLibrary(controls);
    DeactivateActCtx(0, cookie);
    ReleaseActCtx(context);
    const std::wstring lower = _wcslwr(path);
    EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.0."), std::wstring::npos) << path;
}

}  // namespace
