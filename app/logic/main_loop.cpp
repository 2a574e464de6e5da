#include "app/logic/main_loop.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/key_presses.h"
#include "app/logic/program_answers.h"
#include "app/logic/program_arguments.h"
#include "app/logic/scene_files.h"

namespace {

const char* const errorTitle = "Error";

// The projection of every view.
constexpr float fieldOfViewDegrees = 45.0f;  // vertical
constexpr float nearPlane = 1.0f;
constexpr float farPlane = 100.0f;

// Smallest client size that gives finite arcball bounds and aspect ratio.
constexpr int smallestViewSize = 2;

// Client sizes and mouse positions are kept as unsigned 16-bit words, the
// range a window message carries.
constexpr int wordMask = 0xFFFF;

Platform& platformOf(const AppWindow& window) { return *window.application->platform; }

// A box the user cannot see is said on standard error instead, so that a
// refused mode switch or a failed start still reaches someone.
void reportIfUnshown(const BoxResult& result, const char* title, const char* text) {
    if (result.shown) return;
    const std::string line = unshownBoxLine(title, text, result.failure) + "\n";
    std::fputs(line.c_str(), stderr);
}

void warn(Platform& platform, const char* title, const char* text) {
    reportIfUnshown(platform.showWarning(title, text), title, text);
}

// An unshown question counts as any answer but No.
Answer ask(Platform& platform, const char* title, const char* text) {
    const BoxResult result = platform.askQuestion(title, text);
    reportIfUnshown(result, title, text);
    return result.shown ? result.answer : Answer::other;
}

// Takes messages until the quit message, rendering a frame whenever none is
// pending and the window is visible.
void runFrames(AppWindow& window, const FrameHooks& hooks) {
    Platform& platform = platformOf(window);
    for (;;) {
        PlatformEvent event;
        if (platform.peekEvent(event)) {
            if (event.kind == PlatformEvent::Kind::quit) return;
            windowProcedure(window, event);
        } else if (!window.visible) {
            // Minimised: no frames, no time used. lastTick stays, so the next
            // frame's elapsed time spans the whole pause.
            platform.waitEvent();
        } else {
            const uint32_t now = platform.tickCount();
            hooks.updateFrame(now - window.lastTick);  // unsigned: right across the counter's wrap
            framePolledKeys(window.keys, window.pendingKeys);
            window.lastTick = now;
            hooks.drawFrame();
            platform.swapBuffers(window.window);
        }
    }
}

// A full-screen window that gave the display back takes it again once it is
// both restored and active, in whichever order the two come.
void resumeFullscreenWhenBack(AppWindow& window) {
    if (window.fullscreenSuspended == 0 || window.active == 0 || window.visible == 0) return;
    Platform& platform = platformOf(window);
    window.fullscreenSuspended = 0;
    if (platform.resumeFullscreen(window.window)) {
        platform.showCursor(false);
    } else {
        // The display refuses the mode now: the window stays on the desktop
        // with the cursor, and there is no mode left to restore at the end.
        window.fullscreen = 0;
    }
}

// A scene file dropped on the window. A box blocks the frames while it is
// up; the time it was up is no time the simulation should run for.
void openDroppedFiles(AppWindow& window, const std::vector<std::string>& files) {
    Platform& platform = platformOf(window);
    if (files.size() == 1) {
        openSceneFileOrWarn(platform, files[0]);
    } else if (files.size() > 1) {
        const std::string text = "One Scene File At A Time: " + std::to_string(files.size()) + " files were dropped.";
        warn(platform, errorTitle, text.c_str());
    }
    window.lastTick = platform.tickCount();
}

}  // namespace

void openSceneFileOrWarn(Platform& platform, const std::string& path) {
    const std::optional<std::string> refused = openSceneFile(path);
    if (!refused) return;
    const std::string text = "Cannot Load Scene File.\n" + *refused;
    warn(platform, errorTitle, text.c_str());
}

std::string unshownBoxLine(const char* title, const char* text, const std::string& failure) {
    std::string line = std::string("prallwerk: ") + title + ": ";
    for (const char* c = text; *c != '\0'; ++c) line += *c == '\n' ? ' ' : *c;
    line += " (no message box: " + (failure.empty() ? std::string("no reason given") : failure) + ")";
    return line;
}

bool registerWindowClass(Application& application) {
    if (application.platform->registerWindowClass(application.className)) return true;
    warn(*application.platform, errorTitle, "RegisterClassEx Failed!");
    return false;
}

bool createWindow(AppWindow& window) {
    Platform& platform = platformOf(window);
    PixelFormatRequest pixelFormat;
    pixelFormat.colourBits = window.bitsPerPixel;
    if (!platform.requestPixelFormat(pixelFormat)) return false;

    WindowSpec spec;
    spec.title = window.title;
    spec.width = window.width;
    spec.height = window.height;
    spec.style = WindowStyle::overlapped;
    window.active = 1;
    window.fullscreenSuspended = 0;
    if (window.fullscreen == 1) {
        if (platform.changeScreenMode(window.width, window.height, window.bitsPerPixel)) {
            platform.showCursor(false);
            spec.style = WindowStyle::popup;
        } else {
            warn(platform, errorTitle, "Mode Switch Failed.\nRunning In Windowed Mode.");
            window.fullscreen = 0;
            // The size meant for the whole screen becomes the outer size of
            // the window; the frame takes its share of it.
            spec.sizeIncludesFrame = true;
        }
    }

    // Each failure below releases what was obtained so far, a changed display
    // mode included, so the user is not left in 1024 x 768 with no window.
    window.window = platform.openWindow(spec);
    if (window.window == nullptr) {
        destroyWindow(window);
        return false;
    }
    window.glContext = platform.createGlContext(window.window);
    if (window.glContext == nullptr) {
        destroyWindow(window);
        return false;
    }
    if (!platform.makeCurrent(window.window, window.glContext)) {
        destroyWindow(window);
        return false;
    }

    platform.showWindow(window.window);
    window.visible = 1;
    resizeView(platform, window.width, window.height);
    clearKeys(window.keys, window.pendingKeys);
    window.lastTick = platform.tickCount();
    return true;
}

void destroyWindow(AppWindow& window) {
    Platform& platform = platformOf(window);
    if (window.window != nullptr) {
        if (window.glContext != nullptr) {
            platform.makeCurrent(nullptr, nullptr);
            platform.deleteGlContext(window.glContext);
            window.glContext = nullptr;
        }
        platform.closeWindow(window.window);
        window.window = nullptr;
    }
    if (window.fullscreen == 1) {
        platform.restoreScreenMode();
        if (window.fullscreenSuspended == 0) platform.showCursor(true);  // else shown already
        window.fullscreenSuspended = 0;
    }
}

void resizeView(Platform& platform, int width, int height) {
    platform.setViewport(width, height);
    if (width < smallestViewSize || height < smallestViewSize) return;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    platform.setPerspective(fieldOfViewDegrees, aspect, nearPlane, farPlane);
    arcBall.setBounds(static_cast<float>(width), static_cast<float>(height));
}

void requestQuit(AppWindow& window) {
    platformOf(window).postQuit();
    running = 0;
}

void windowProcedure(AppWindow& window, const PlatformEvent& event) {
    using Kind = PlatformEvent::Kind;
    switch (event.kind) {
    case Kind::sizeChanged:
        if (event.sizeKind == SizeKind::minimised) {
            window.visible = 0;
        } else if (event.sizeKind == SizeKind::restored || event.sizeKind == SizeKind::maximised) {
            window.visible = 1;
            resizeView(platformOf(window), event.x & wordMask, event.y & wordMask);
            resumeFullscreenWhenBack(window);
        }
        break;
    case Kind::focusLost:
        window.active = 0;
        // The keys' releases now go to the other program.
        releaseAllKeys(window.keys, window.pendingKeys);
        if (window.fullscreen == 1 && window.fullscreenSuspended == 0) {
            // The other program opens on the display as its user left it,
            // not under a topmost window in the demo's mode.
            platformOf(window).suspendFullscreen(window.window);
            platformOf(window).showCursor(true);
            window.fullscreenSuspended = 1;
        }
        break;
    case Kind::focusGained:
        window.active = 1;
        resumeFullscreenWhenBack(window);
        break;
    case Kind::close:
        requestQuit(window);
        break;
    case Kind::keyDown:
        if (event.code >= 0 && event.code < keyCodeCount) pressKey(window.keys, window.pendingKeys, event.code);
        break;
    case Kind::keyUp:
        if (event.code >= 0 && event.code < keyCodeCount) releaseKey(window.keys, window.pendingKeys, event.code);
        break;
    case Kind::mouseMove:
        mousePosition = {static_cast<float>(event.x & wordMask), static_cast<float>(event.y & wordMask)};
        leftButtonDown = (event.buttons & mouseButtonLeft) != 0;
        rightButtonDown = (event.buttons & mouseButtonRight) != 0;
        break;
    case Kind::leftButton:
        leftButtonDown = event.down;
        break;
    case Kind::rightButton:
        rightButtonDown = event.down;
        break;
    case Kind::toggleScreenMode:
        // Ends this generation only; the loop re-creates the window in the
        // other mode with the same World.
        fullscreenRequest = fullscreenRequest != 1 ? 1 : 0;
        platformOf(window).postQuit();
        break;
    case Kind::filesDropped:
        openDroppedFiles(window, event.files);
        break;
    case Kind::quit:
    case Kind::none:
        break;
    }
}

namespace {

// The program's answers, handed to the platform for as long as it runs.
class AnswersGiven {
public:
    explicit AnswersGiven(Platform& platform) : platform_(platform) { platform_.setProgram(&answers_); }
    ~AnswersGiven() { platform_.setProgram(nullptr); }
    AnswersGiven(const AnswersGiven&) = delete;
    AnswersGiven& operator=(const AnswersGiven&) = delete;

private:
    Platform& platform_;
    ProgramAnswers answers_;
};

}  // namespace

int runProgram(Platform& platform, const FrameHooks& hooks, const std::vector<std::string>& arguments) {
    const AnswersGiven answers(platform);
    const ProgramArguments parsed = parseProgramArguments(arguments);
    if (!parsed.error.empty()) {
        warn(platform, errorTitle, parsed.error.c_str());
        return badArgumentsExitCode;
    }

    Application application;
    application.platform = &platform;
    AppWindow window;
    window.keys = keyDown;
    window.application = &application;
    clearKeys(window.keys, window.pendingKeys);

    if (ask(platform, "Start FullScreen?", "Would You Like To Run In Fullscreen Mode?") == Answer::no) {
        window.fullscreen = 0;
    }
    if (!registerWindowClass(application)) {
        warn(platform, errorTitle, "Error Registering Window Class!");
        return -1;
    }

    // Before any window: a message about the file comes up on the desktop,
    // not over (or under) a full-screen window.
    if (!parsed.sceneFile.empty()) openSceneFileOrWarn(platform, parsed.sceneFile);

    running = 1;
    fullscreenRequest = window.fullscreen;
    while (running == 1) {
        window.fullscreen = fullscreenRequest;
        if (!createWindow(window)) {
            warn(platform, errorTitle, "Error Creating OpenGL Window");
            running = 0;
            break;
        }
        hooks.initGraphics(window, keyDown);
        runFrames(window, hooks);
        hooks.shutdownGraphics();
        destroyWindow(window);
    }

    platform.unregisterWindowClass(application.className);
    return 0;
}
