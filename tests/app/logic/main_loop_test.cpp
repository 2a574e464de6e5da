#include "app/logic/main_loop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "tests/app/fake_platform.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

using ::testing::ElementsAre;
using Kind = PlatformEvent::Kind;

namespace {

// What the frame hooks saw.
struct HookRecord {
    std::vector<uint32_t> elapsed;
    int inits = 0;
    int draws = 0;
    std::vector<int> runningAtShutdown;
    std::vector<int> keysHeldAtInit;  // number of keys held when each generation started
    std::vector<int> fullscreenAtInit;
    std::vector<World*> worldAtInit;
    int* keysPassed = nullptr;
};
HookRecord hooks;

const FrameHooks recordingHooks = {
    [](AppWindow& window, int* keys) {
        ++hooks.inits;
        hooks.keysPassed = keys;
        hooks.keysHeldAtInit.push_back(static_cast<int>(std::count(keys, keys + keyCodeCount, 1)));
        hooks.fullscreenAtInit.push_back(window.fullscreen);
        hooks.worldAtInit.push_back(world);
        return true;
    },
    [](uint32_t elapsed) { hooks.elapsed.push_back(elapsed); },
    [] { ++hooks.draws; },
    [] { hooks.runningAtShutdown.push_back(running); },
};

PlatformEvent sizeEvent(SizeKind kind, int w, int h) {
    PlatformEvent e;
    e.kind = Kind::sizeChanged;
    e.sizeKind = kind;
    e.x = w;
    e.y = h;
    return e;
}

PlatformEvent keyEvent(Kind kind, int code) {
    PlatformEvent e;
    e.kind = kind;
    e.code = code;
    return e;
}

bool logged(const FakePlatform& p, const std::string& entry) {
    return std::find(p.log.begin(), p.log.end(), entry) != p.log.end();
}

int countLogged(const FakePlatform& p, const std::string& entry) {
    return static_cast<int>(std::count(p.log.begin(), p.log.end(), entry));
}

const std::string modeSwitchWarning = "warning:Error|Mode Switch Failed.\nRunning In Windowed Mode.";

class MainLoop : public ::testing::Test {
protected:
    void SetUp() override {
        hooks = HookRecord{};
        arcBall = ArcBall(1024.0f, 768.0f);
        std::fill(std::begin(keyDown), std::end(keyDown), 0);
        running = 0;
        fullscreenRequest = 0;
    }

    // Ends the program after the given number of frames, by closing the window.
    void closeAfter(int frames) {
        platform.afterFrame = [frames](FakePlatform& p) {
            if (p.frames == frames) p.push(Kind::close);
        };
    }

    FakePlatform platform;
};

TEST_F(MainLoop, AnswerNoRunsWindowedWithTheRequestedClientAreaAndShutsDownInOrder) {
    closeAfter(2);
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    EXPECT_THAT(platform.log,
                ElementsAre("question:Start FullScreen?|Would You Like To Run In Fullscreen Mode?", "register:OpenGL",
                            "pixelFormat:32/16/double", "open", "context", "current", "show", "postQuit",
                            "current:none", "deleteContext", "close", "unregister:OpenGL"));
    ASSERT_EQ(platform.openedWindows.size(), 1u);
    const WindowSpec& spec = platform.openedWindows[0];
    EXPECT_STREQ(spec.title, "Prallwerk");
    EXPECT_EQ(spec.width, 1024);
    EXPECT_EQ(spec.height, 768);
    EXPECT_EQ(spec.style, WindowStyle::overlapped);
    EXPECT_FALSE(spec.sizeIncludesFrame);
    EXPECT_EQ(hooks.inits, 1);
    EXPECT_EQ(hooks.draws, 2);
    EXPECT_THAT(hooks.runningAtShutdown, ElementsAre(0));  // the World goes with this generation
    EXPECT_EQ(hooks.keysPassed, keyDown);
}

TEST_F(MainLoop, AnswerYesSwitchesModeHidesCursorAndGivesTheDisplayBackAtTheEnd) {
    platform.answer = Answer::yes;
    closeAfter(1);
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    EXPECT_THAT(platform.log,
                ElementsAre(::testing::_, "register:OpenGL", "pixelFormat:32/16/double", "mode:1024x768x32",
                            "cursor:off", "open", "context", "current", "show", "postQuit", "current:none",
                            "deleteContext", "close", "restoreMode", "cursor:on", "unregister:OpenGL"));
    EXPECT_EQ(platform.openedWindows[0].style, WindowStyle::popup);
}

TEST_F(MainLoop, AnUnansweredQuestionKeepsFullScreen) {
    platform.answer = Answer::other;
    closeAfter(1);
    runProgram(platform, recordingHooks);
    EXPECT_TRUE(logged(platform, "mode:1024x768x32"));
    EXPECT_THAT(hooks.fullscreenAtInit, ElementsAre(1));
}

TEST_F(MainLoop, RefusedModeSwitchWarnsOnceAndRunsWindowedWithoutRestoringTheMode) {
    platform.answer = Answer::yes;
    platform.modeSwitchSucceeds = false;
    closeAfter(1);
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    EXPECT_EQ(countLogged(platform, modeSwitchWarning), 1);
    EXPECT_FALSE(logged(platform, "cursor:off"));
    EXPECT_FALSE(logged(platform, "restoreMode"));
    ASSERT_EQ(platform.openedWindows.size(), 1u);
    EXPECT_EQ(platform.openedWindows[0].style, WindowStyle::overlapped);
    EXPECT_TRUE(platform.openedWindows[0].sizeIncludesFrame);  // the rectangle is not adjusted
    EXPECT_THAT(hooks.fullscreenAtInit, ElementsAre(0));
}

TEST_F(MainLoop, FailedRegistrationShowsBothMessagesAndExitsWithMinusOne) {
    platform.registerSucceeds = false;
    EXPECT_EQ(runProgram(platform, recordingHooks), -1);
    EXPECT_THAT(platform.log, ElementsAre(::testing::_, "register:OpenGL", "warning:Error|RegisterClassEx Failed!",
                                          "warning:Error|Error Registering Window Class!"));
    EXPECT_EQ(hooks.inits, 0);
}

// With no box to show, every message still reaches the user as one line on
// standard error, and the question falls to full-screen as any answer but
// No does.
TEST_F(MainLoop, MessageBoxesThatCannotBeShownAreSaidOnStandardError) {
    platform.boxesFail = true;
    platform.answer = Answer::no;  // would be pressed if the box could be shown
    platform.modeSwitchSucceeds = false;
    closeAfter(1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(said,
              "prallwerk: Start FullScreen?: Would You Like To Run In Fullscreen Mode? "
              "(no message box: no core fonts on the display)\n"
              "prallwerk: Error: Mode Switch Failed. Running In Windowed Mode. "
              "(no message box: no core fonts on the display)\n");
    EXPECT_TRUE(logged(platform, "mode:1024x768x32"));
    EXPECT_THAT(hooks.fullscreenAtInit, ElementsAre(0));  // the refused switch still falls back
}

TEST_F(MainLoop, EveryMessageOfAFailedStartIsSaidWhenNoBoxCanBeShown) {
    platform.boxesFail = true;
    platform.registerSucceeds = false;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram(platform, recordingHooks), -1);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("prallwerk: Error: RegisterClassEx Failed! (no message box: "), std::string::npos);
    EXPECT_NE(said.find("prallwerk: Error: Error Registering Window Class! (no message box: "), std::string::npos);
}

TEST(UnshownBoxLine, IsOneLineWithTheReasonOrSaysThereWasNone) {
    EXPECT_EQ(unshownBoxLine("T", "a\nb\n", "why"), "prallwerk: T: a b  (no message box: why)");
    EXPECT_EQ(unshownBoxLine("T", "", ""), "prallwerk: T:  (no message box: no reason given)");
}

TEST_F(MainLoop, ShownBoxesSayNothingOnStandardError) {
    platform.answer = Answer::yes;
    platform.modeSwitchSucceeds = false;
    closeAfter(1);
    ::testing::internal::CaptureStderr();
    runProgram(platform, recordingHooks);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(countLogged(platform, modeSwitchWarning), 1);
}

// Each way window creation can fail releases exactly what it had obtained.
struct CreationFailure {
    const char* name;
    void (*arrange)(FakePlatform&);
    std::vector<std::string> releases;  // log entries between the failing call and the message
};

void PrintTo(const CreationFailure& failure, std::ostream* out) { *out << failure.name; }

class WindowCreationFailure : public MainLoop, public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(WindowCreationFailure, ReleasesWhatWasObtainedAndEndsWithExitCodeZero) {
    const CreationFailure& failure = GetParam();
    platform.answer = Answer::yes;
    failure.arrange(platform);
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(hooks.inits, 0);
    const auto message = std::find(platform.log.begin(), platform.log.end(), "warning:Error|Error Creating OpenGL Window");
    ASSERT_NE(message, platform.log.end());
    EXPECT_EQ(std::next(message), std::prev(platform.log.end()));
    EXPECT_EQ(platform.log.back(), "unregister:OpenGL");
    const auto failed = std::find(platform.log.begin(), message, failure.name);
    ASSERT_NE(failed, message);
    EXPECT_EQ(std::vector<std::string>(std::next(failed), message), failure.releases);
}

std::string stageName(const ::testing::TestParamInfo<CreationFailure>& info) {
    const char* names[] = {"PixelFormat", "Window", "Context", "MakeCurrent"};
    return names[info.index];
}

INSTANTIATE_TEST_SUITE_P(
    EveryStage, WindowCreationFailure,
    ::testing::Values(
        CreationFailure{"pixelFormat:32/16/double", [](FakePlatform& p) { p.pixelFormatSucceeds = false; }, {}},
        CreationFailure{"open", [](FakePlatform& p) { p.openSucceeds = false; }, {"restoreMode", "cursor:on"}},
        CreationFailure{"context", [](FakePlatform& p) { p.contextSucceeds = false; },
                        {"close", "restoreMode", "cursor:on"}},
        CreationFailure{"current", [](FakePlatform& p) { p.makeCurrentSucceeds = false; },
                        {"current:none", "deleteContext", "close", "restoreMode", "cursor:on"}}),
    stageName);

TEST_F(MainLoop, ElapsedTimeIsTheUnsignedTickDifferenceAlsoAcrossTheWrap) {
    platform.ticks = 0xFFFFFFF0u;  // lastTick at window creation
    platform.afterFrame = [](FakePlatform& p) {
        p.ticks += 16;
        if (p.frames == 3) p.push(Kind::close);
    };
    runProgram(platform, recordingHooks);
    // 0xFFFFFFF0 -> 0xFFFFFFF0 (0 ms), -> 0x00000000 (16 ms), -> 0x00000010 (16 ms)
    EXPECT_THAT(hooks.elapsed, ElementsAre(0u, 16u, 16u));
}

TEST_F(MainLoop, MinimisedWindowWaitsAndTheNextFrameGetsTheWholePause) {
    platform.afterFrame = [](FakePlatform& p) {
        p.ticks += 10;
        if (p.frames == 1) p.queue.push_back(sizeEvent(SizeKind::minimised, 0, 0));
        if (p.frames == 2) p.push(Kind::close);
    };
    platform.onWait = [](FakePlatform& p) {
        p.ticks += 60000;  // a minute minimised
        p.queue.push_back(sizeEvent(SizeKind::restored, 800, 600));
    };
    runProgram(platform, recordingHooks);
    EXPECT_EQ(platform.waits, 1);
    EXPECT_THAT(hooks.elapsed, ElementsAre(0u, 60010u));
    EXPECT_EQ(platform.view.viewportWidth, 800);  // the restore resized the view
    EXPECT_FLOAT_EQ(platform.view.aspect, 800.0f / 600.0f);
}

TEST_F(MainLoop, AllPendingMessagesAreHandledBeforeTheNextFrame) {
    std::vector<int> heldAtUpdate;
    static std::vector<int>* seen;
    seen = &heldAtUpdate;
    FrameHooks counting = recordingHooks;
    counting.updateFrame = [](uint32_t) { seen->push_back(keyDown[0x41] + keyDown[0x42] + keyDown[0x43]); };
    platform.afterFrame = [](FakePlatform& p) {
        if (p.frames == 1) {
            for (int code : {0x41, 0x42, 0x43}) p.queue.push_back(keyEvent(Kind::keyDown, code));
        }
        if (p.frames == 2) p.push(Kind::close);
    };
    runProgram(platform, counting);
    EXPECT_THAT(heldAtUpdate, ElementsAre(0, 3));
}

TEST_F(MainLoop, ToggleScreenModeRecreatesTheWindowInTheOtherModeKeepingTheWorldAndClearingTheKeys) {
    World* const before = world;
    platform.afterFrame = [](FakePlatform& p) {
        if (p.frames == 1) {
            p.queue.push_back(keyEvent(Kind::keyDown, 0x20));
            p.push(Kind::toggleScreenMode);
        }
        if (p.frames == 2) p.push(Kind::close);
    };
    EXPECT_EQ(runProgram(platform, recordingHooks), 0);
    EXPECT_THAT(hooks.fullscreenAtInit, ElementsAre(0, 1));
    EXPECT_THAT(hooks.runningAtShutdown, ElementsAre(1, 0));  // only the last shut-down ends the World
    EXPECT_THAT(hooks.worldAtInit, ElementsAre(before, before));
    EXPECT_THAT(hooks.keysHeldAtInit, ElementsAre(0, 0));
    EXPECT_EQ(fullscreenRequest, 1);
    EXPECT_EQ(countLogged(platform, "open"), 2);
    EXPECT_EQ(countLogged(platform, "mode:1024x768x32"), 1);
}

TEST_F(MainLoop, WindowProcedureKeepsKeysMouseAndVisibility) {
    Application application;
    application.platform = &platform;
    AppWindow window;
    window.keys = keyDown;
    window.application = &application;

    windowProcedure(window, keyEvent(Kind::keyDown, 0x77));
    windowProcedure(window, keyEvent(Kind::keyDown, 300));  // no such code in the array
    windowProcedure(window, keyEvent(Kind::keyDown, -1));
    EXPECT_EQ(keyDown[0x77], 1);
    EXPECT_EQ(std::count(std::begin(keyDown), std::end(keyDown), 1), 1);
    {
        // The first code past the array writes nothing past it.
        int guarded[keyCodeCount + 1] = {};
        AppWindow other = window;
        other.keys = guarded;
        for (const Kind kind : {Kind::keyDown, Kind::keyUp}) windowProcedure(other, keyEvent(kind, keyCodeCount));
        EXPECT_EQ(guarded[keyCodeCount], 0);
        EXPECT_EQ(std::count(std::begin(guarded), std::end(guarded), 0), keyCodeCount + 1);
    }
    windowProcedure(window, keyEvent(Kind::keyUp, 0x77));
    EXPECT_EQ(keyDown[0x77], 1);  // no frame has seen it yet
    framePolledKeys(window.keys, window.pendingKeys);
    EXPECT_EQ(keyDown[0x77], 0);
    windowProcedure(window, keyEvent(Kind::keyUp, 300));
    EXPECT_EQ(std::count(std::begin(keyDown), std::end(keyDown), 0), keyCodeCount);

    PlatformEvent move;
    move.kind = Kind::mouseMove;
    move.x = 12;
    move.y = 34;
    move.buttons = mouseButtonRight;
    windowProcedure(window, move);
    EXPECT_FLOAT_EQ(mousePosition.x, 12.0f);
    EXPECT_FLOAT_EQ(mousePosition.y, 34.0f);
    EXPECT_EQ(leftButtonDown, 0);
    EXPECT_EQ(rightButtonDown, 1);

    // Each button by its own message, down and up; a move then tells both.
    const struct {
        Kind kind;
        bool down;
        unsigned char left, right;
    } buttons[] = {{Kind::leftButton, true, 1, 1}, {Kind::rightButton, false, 1, 0},
                   {Kind::leftButton, false, 0, 0}, {Kind::rightButton, true, 0, 1}};
    for (const auto& row : buttons) {
        PlatformEvent button;
        button.kind = row.kind;
        button.down = row.down;
        windowProcedure(window, button);
        EXPECT_EQ(leftButtonDown, row.left);
        EXPECT_EQ(rightButtonDown, row.right);
    }
    move.buttons = mouseButtonLeft;
    windowProcedure(window, move);
    EXPECT_EQ(leftButtonDown, 1);
    EXPECT_EQ(rightButtonDown, 0);

    window.visible = 1;
    windowProcedure(window, sizeEvent(SizeKind::other, 640, 480));
    EXPECT_EQ(window.visible, 1);
    EXPECT_EQ(platform.view.perspectives, 0);
    windowProcedure(window, sizeEvent(SizeKind::minimised, 0, 0));
    EXPECT_EQ(window.visible, 0);
    windowProcedure(window, sizeEvent(SizeKind::maximised, 1280, 1000));
    EXPECT_EQ(window.visible, 1);
    EXPECT_EQ(platform.view.viewportHeight, 1000);
}

TEST_F(MainLoop, ResizeViewSetsViewportPerspectiveAndArcballBounds) {
    resizeView(platform, 801, 601);
    EXPECT_EQ(platform.view.viewportWidth, 801);
    EXPECT_FLOAT_EQ(platform.view.fovy, 45.0f);
    EXPECT_EQ(platform.view.aspect, 801.0f / 601.0f);
    EXPECT_FLOAT_EQ(platform.view.zNear, 1.0f);
    EXPECT_FLOAT_EQ(platform.view.zFar, 100.0f);
    EXPECT_EQ(arcBall.adjustWidth, 1.0f / 400.0f);
    EXPECT_EQ(arcBall.adjustHeight, 1.0f / 300.0f);
}

TEST_F(MainLoop, ClientAreasBelowTwoPixelsKeepTheViewFinite) {
    resizeView(platform, 801, 601);
    const ArcBall before = arcBall;
    for (auto [w, h] : {std::pair{1, 600}, {800, 1}, {800, 0}, {0, 0}}) {
        resizeView(platform, w, h);
        EXPECT_EQ(platform.view.viewportWidth, w);  // the viewport still follows the window
        EXPECT_EQ(platform.view.perspectives, 1) << w << "x" << h;
        EXPECT_EQ(arcBall.adjustWidth, before.adjustWidth) << w << "x" << h;
        EXPECT_EQ(arcBall.adjustHeight, before.adjustHeight) << w << "x" << h;
    }
    EXPECT_TRUE(std::isfinite(arcBall.mapToSphere({400.0f, 300.0f}).z));
    resizeView(platform, 2, 2);
    EXPECT_EQ(platform.view.perspectives, 2);
    EXPECT_EQ(arcBall.adjustWidth, 2.0f);
}

}  // namespace

// Another program takes the focus while Page Up is held and R was tapped
// too briefly for a frame: every key comes up (the tap still counts once),
// and a full-screen window gives the display back and minimises. Restored
// and active again, in either order, it takes the full screen back once,
// and only when both have come; windowed, the focus changes only the keys.
TEST_F(MainLoop, FocusLossReleasesEveryKeyAndTheFullScreenGivesWayUntilRestoredAndActive) {
    using Batch = std::vector<PlatformEvent>;
    const Batch gained = {keyEvent(Kind::focusGained, 0)}, restored = {sizeEvent(SizeKind::restored, 1024, 768)};
    const std::string giveWay = "cursor:off | | suspend cursor:on | | resume";
    const struct {
        const char* name;
        Answer answer;
        bool resumeSucceeds;
        Batch third, fourth;  // after the focus loss and the minimise
        std::string calls;    // "|" marks each batch of messages delivered
    } cases[] = {
        {"full screen, activated then restored", Answer::yes, true, gained, restored,
         giveWay + " cursor:off restoreMode cursor:on"},
        {"full screen, restored then activated", Answer::yes, true, restored, gained,
         giveWay + " cursor:off restoreMode cursor:on"},
        {"full screen the display then refuses", Answer::yes, false, gained, restored, giveWay},
        {"windowed", Answer::no, true, gained, restored, "| | | |"},
        {"full screen closed while away (the cursor is shown already)", Answer::yes, true,
         {keyEvent(Kind::close, 0)}, {}, "cursor:off | | suspend cursor:on | restoreMode"},
    };
    static std::vector<std::pair<int, int>>* held;  // Page Up and R as each frame saw them
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::pair<int, int>> frames;
        held = &frames;
        FakePlatform p;
        p.answer = c.answer;
        p.resumeSucceeds = c.resumeSucceeds;
        std::deque<Batch> batches = {{keyEvent(Kind::keyDown, vkPageUp)},
                                     {keyEvent(Kind::keyDown, vkR), keyEvent(Kind::keyUp, vkR),
                                      keyEvent(Kind::focusLost, 0), sizeEvent(SizeKind::minimised, 0, 0)},
                                     c.third, c.fourth};
        p.afterFrame = p.onWait = [&batches](FakePlatform& fp) {
            if (batches.empty()) return fp.push(Kind::close);
            fp.log.push_back("|");
            fp.queue.insert(fp.queue.end(), batches.front().begin(), batches.front().end());
            batches.pop_front();
        };
        FrameHooks watching = recordingHooks;
        watching.updateFrame = [](uint32_t) { held->emplace_back(keyDown[vkPageUp], keyDown[vkR]); };
        runProgram(p, watching);

        std::string calls;
        for (const std::string& entry : p.log) {
            if (entry == "|" || entry == "suspend" || entry == "resume" || entry.rfind("cursor", 0) == 0 ||
                entry == "restoreMode") {
                calls += (calls.empty() ? "" : " ") + entry;
            }
        }
        EXPECT_EQ(calls, c.calls);
        ASSERT_GE(frames.size(), 2u);
        EXPECT_EQ(frames[1], std::make_pair(1, 0));  // Page Up held before the focus went
        const auto after = frames.begin() + 2;
        EXPECT_EQ(std::count_if(after, frames.end(), [](auto f) { return f.first == 1; }), 0);
        EXPECT_EQ(std::count_if(after, frames.end(), [](auto f) { return f.second == 1; }), c.fourth.empty() ? 0 : 1);
    }
}
