#include "app/platform/web/web_platform.h"

#include <emscripten.h>
#include <emscripten/html5_webgl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/platform/opengl/opengl_platform.h"
#include "app/platform/web/shipped_glyphs.h"
#include "app/platform/web/web_keys.h"
#include "app/platform/web/web_messages.h"
#include "app/seam/program_questions.h"
#include "gl11/context.h"
#include "gl11/webgl_backend.h"
#include "prallwerk/scenes/scene_file.h"

// What the page does for the platform: each function calls page.js.
// Those that wait give the browser control until their promise settles.

EM_ASYNC_JS(int, pageAsk, (const char* title, const char* text), {
    return await Module.page.ask(UTF8ToString(title), UTF8ToString(text));
});
EM_ASYNC_JS(int, pageWarn, (const char* title, const char* text), {
    return await Module.page.warn(UTF8ToString(title), UTF8ToString(text));
});
EM_ASYNC_JS(int, pageEnterFullscreen, (), { return await Module.page.enterFullscreen(); });
EM_ASYNC_JS(double, pageNextFrame, (), { return await Module.page.nextFrame(); });
EM_ASYNC_JS(void, pageNextEvent, (), { await Module.page.nextEvent(); });
EM_JS(void, pageLeaveFullscreen, (), { Module.page.leaveFullscreen(); });
EM_JS(void, pageShowCursor, (int shown), { Module.page.showCursor(shown != 0); });
EM_JS(double, pageOpenWindow, (const char* title, int width, int height, int fullscreen), {
    return Module.page.openWindow(UTF8ToString(title), width, height, fullscreen != 0);
});
EM_JS(void, pageShowWindow, (), { Module.page.showWindow(); });
EM_JS(void, pageCloseWindow, (), { Module.page.closeWindow(); });
EM_JS(void, pageWake, (), { Module.page.wake(); });
EM_JS(char*, pageLastFailure, (), { return stringToNewUTF8(Module.page.lastFailure || ""); });

namespace {

// Events queued by the page's handlers, taken by the loop. The handlers run
// between frames, while the loop waits; they only queue, and wake the loop
// when they did.
PageMessages messages;
char keyCodeName[32] = {};  // KeyboardEvent.code of the key being handed over

// A frame captured for the frame-time benchmark (tests/web/page_bench.js).
gl11::Context::CapturedFrame capturedFrame;
bool captureRequested = false;

// The program the page runs, which answers what the page asks it; null
// before it starts and after it ends.
const ProgramQuestions* program = nullptr;

void queue(const PlatformEvent& event) {
    messages.queue.push_back(event);
    pageWake();
}

void wakeIf(bool queued) {
    if (queued) pageWake();
}

// What failed, as the page said, for a box it could not show.
BoxResult boxResult(int answer) {
    BoxResult result;
    if (answer < 0) {
        result.shown = false;
        char* failure = pageLastFailure();
        result.failure = failure;
        std::free(failure);
        return result;
    }
    result.answer = answer == 1 ? Answer::yes : answer == 0 ? Answer::no : Answer::other;
    return result;
}

// A window's OpenGL context: WebGL 2 and the subset over it.
struct WebContext {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE webgl = 0;
    std::unique_ptr<gl11::WebGlBackend> backend;
    std::unique_ptr<gl11::Context> gl;
};

PlatformWindow* const theWindow = reinterpret_cast<PlatformWindow*>(1);

class WebPlatform final : public OpenGlPlatform {
public:
    void setProgram(const ProgramQuestions* running) override { program = running; }

    std::unique_ptr<GlyphSource> openGlyphSource() override { return openShippedGlyphs(); }

    BoxResult askQuestion(const char* title, const char* text) override { return boxResult(pageAsk(title, text)); }

    BoxResult showWarning(const char* title, const char* text) override {
        return boxResult(pageWarn(title, text));
    }

    bool registerWindowClass(const char*) override { return true; }
    void unregisterWindowClass(const char*) override {}

    // The browser has answered the full-screen request that the user's Yes
    // made (a page may ask only while handling the user's click or key).
    // The canvas is then the full-screen element; the display's mode itself
    // stays as it is, and the canvas shows the window's picture scaled up.
    bool changeScreenMode(int, int, int) override { return pageEnterFullscreen() == 1; }

    void restoreScreenMode() override { pageLeaveFullscreen(); }

    void showCursor(bool shown) override { pageShowCursor(shown ? 1 : 0); }

    // WebGL's drawing buffer is RGBA, double-buffered, with a depth buffer
    // of at least 16 bits: every request the program makes.
    bool requestPixelFormat(const PixelFormatRequest&) override { return true; }

    PlatformWindow* openWindow(const WindowSpec& spec) override {
        const bool fullscreen = spec.style == WindowStyle::popup;
        pixelScale_ = pageOpenWindow(spec.title, spec.width, spec.height, fullscreen ? 1 : 0);
        messages.open(spec.width, spec.height, fullscreen);
        return theWindow;
    }

    void showWindow(PlatformWindow*) override { pageShowWindow(); }

    void closeWindow(PlatformWindow*) override {
        messages.close();
        pageCloseWindow();
    }

    PlatformContext* createGlContext(PlatformWindow*) override {
        EmscriptenWebGLContextAttributes attributes;
        emscripten_webgl_init_context_attributes(&attributes);
        attributes.majorVersion = 2;
        attributes.minorVersion = 0;
        attributes.alpha = EM_FALSE;      // the desktop's window has no alpha plane either
        attributes.depth = EM_TRUE;
        attributes.stencil = EM_FALSE;
        attributes.antialias = EM_FALSE;  // OpenGL 1.1 draws aliased
        attributes.preserveDrawingBuffer = EM_FALSE;
        auto context = std::make_unique<WebContext>();
        context->webgl = emscripten_webgl_create_context("#canvas", &attributes);
        if (context->webgl <= 0) return nullptr;
        if (emscripten_webgl_make_context_current(context->webgl) != EMSCRIPTEN_RESULT_SUCCESS) {
            emscripten_webgl_destroy_context(context->webgl);
            return nullptr;
        }
        context->backend = std::make_unique<gl11::WebGlBackend>();
        if (!context->backend->ready()) {
            context->backend.reset();
            emscripten_webgl_destroy_context(context->webgl);
            return nullptr;
        }
        context->backend->setPixelScale(static_cast<float>(pixelScale_));
        context->gl = std::make_unique<gl11::Context>(*context->backend);
        return reinterpret_cast<PlatformContext*>(context.release());
    }

    bool makeCurrent(PlatformWindow*, PlatformContext* handle) override {
        current_ = reinterpret_cast<WebContext*>(handle);
        if (current_ == nullptr) {
            gl11::makeCurrent(nullptr);
            return true;
        }
        if (emscripten_webgl_make_context_current(current_->webgl) != EMSCRIPTEN_RESULT_SUCCESS) return false;
        gl11::makeCurrent(current_->gl.get());
        return true;
    }

    void deleteGlContext(PlatformContext* handle) override {
        auto* context = reinterpret_cast<WebContext*>(handle);
        if (context == nullptr) return;
        // The subset's buffers and program go with the WebGL context they
        // were made in.
        emscripten_webgl_make_context_current(context->webgl);
        context->gl.reset();
        context->backend.reset();
        emscripten_webgl_make_context_current(0);
        emscripten_webgl_destroy_context(context->webgl);
        if (current_ == context) current_ = nullptr;
        delete context;
    }

    // Hands the frame to the browser and waits for its next one; a hidden
    // page has none, so its wait ends at once and the loop goes on to the
    // page's minimised message.
    void swapBuffers(PlatformWindow*) override {
        if (current_ != nullptr) {
            current_->gl->flush();
            current_->gl->capture(captureRequested ? &capturedFrame : nullptr);
            captureRequested = false;
        }
        const double scale = pageNextFrame();
        if (scale != pixelScale_ && current_ != nullptr && scale > 0.0) {
            pixelScale_ = scale;
            current_->backend->setPixelScale(static_cast<float>(scale));
        }
    }

    bool peekEvent(PlatformEvent& event) override {
        if (messages.queue.empty()) return false;
        event = messages.queue.front();
        messages.queue.pop_front();
        return true;
    }

    void waitEvent() override {
        while (messages.queue.empty()) pageNextEvent();
    }

    void postQuit() override {
        PlatformEvent e;
        e.kind = PlatformEvent::Kind::quit;
        queue(e);
    }

    uint32_t tickCount() override { return static_cast<uint32_t>(static_cast<uint64_t>(emscripten_get_now())); }

private:
    WebContext* current_ = nullptr;
    double pixelScale_ = 1.0;
};

}  // namespace

std::unique_ptr<Platform> openWebPlatform() { return std::make_unique<WebPlatform>(); }

// The page is there before the program.
std::unique_ptr<Platform> openPlatform(std::string&) { return openWebPlatform(); }

// The page's handlers hand their events over through these.
extern "C" {

// Where the page writes a key's KeyboardEvent.code before prallwerkPageKey.
EMSCRIPTEN_KEEPALIVE char* prallwerkPageKeyName() { return keyCodeName; }

// A key went down or up on the canvas. Returns 1 when the page must keep the
// browser from acting on it: a key that a control reads, pressed without
// Control, Alt or Meta (so that the browser's own shortcuts with them stay).
EMSCRIPTEN_KEEPALIVE int prallwerkPageKey(int down, int modified) {
    keyCodeName[sizeof keyCodeName - 1] = '\0';
    const int code = virtualKeyOfCode(keyCodeName);
    if (!messages.key(code, down != 0)) return 0;
    pageWake();
    return pageKeepsKey(program != nullptr && program->readsKey(code), modified != 0) ? 1 : 0;
}

// A key that one of the page's controls stands for went down or up, by its
// virtual-key code: the same key as on the keyboard.
EMSCRIPTEN_KEEPALIVE void prallwerkPageVirtualKey(int code, int down) { wakeIf(messages.key(code, down != 0)); }

// What the page's controls show: bit 0 running, bit 1 wireframe, the time
// scale from bit 8 up.
EMSCRIPTEN_KEEPALIVE int prallwerkPageState() {
    if (program == nullptr) return 0;
    const ControlStatus status = program->controlStatus();
    return (status.running ? 1 : 0) | (status.wireframe ? 2 : 0) | (static_cast<int>(status.timeScale) << 8);
}

// The mouse, in the window's client pixels: kind 0 a move (buttons: bit 0
// left, bit 1 right held), 1 and 2 the left button down and up, 3 and 4 the
// right one.
EMSCRIPTEN_KEEPALIVE void prallwerkPageMouse(int kind, int x, int y, int buttons) {
    wakeIf(messages.mouse(kind, x, y, buttons));
}

// Memory for the page's texts.
EMSCRIPTEN_KEEPALIVE char* prallwerkPageAlloc(int bytes) { return static_cast<char*>(std::malloc(bytes > 0 ? bytes : 1)); }
EMSCRIPTEN_KEEPALIVE void prallwerkPageFree(char* text) { std::free(text); }

// A scene from the page (edited in its panel, opened from a file, dropped on
// the page or given by a link), as JSON text, checked as the program checks
// a scene file: "+" and the scene as the program would write it (every
// number in the shortest digits that read back to the same value), or "-"
// and the reason, one line naming the place in it and the rule. The caller
// frees the text.
EMSCRIPTEN_KEEPALIVE char* prallwerkPageCheckScene(const char* name, const char* text) {
    const prallwerk::SceneRead read = prallwerk::parseScene(text, name);
    const std::string answer = read.error ? "-" + read.error->message() : "+" + prallwerk::writeScene(read.scene);
    return strdup(answer.c_str());
}

// Hands a scene's JSON text to the program as a file dropped on its window:
// written to a file of that name in the page's memory, it becomes the
// current scene (R reloads it, F7 and F8 go back to the prepared scenes),
// or the program says why not and keeps the scene it had. 0 when no window
// is open to take it or the file could not be written.
EMSCRIPTEN_KEEPALIVE int prallwerkPageOpenScene(const char* name, const char* text) {
    if (!messages.isOpen()) return 0;
    std::string file;
    for (const char* c = name; *c != '\0'; ++c) file += *c == '/' ? '_' : *c;
    if (file.empty() || file == "." || file == "..") file = "scene.json";
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return 0;
    const std::size_t length = std::strlen(text);
    const bool written = std::fwrite(text, 1, length, out) == length;
    if (std::fclose(out) != 0 || !written) return 0;
    PlatformEvent e;
    e.kind = PlatformEvent::Kind::filesDropped;
    e.files.push_back(file);
    queue(e);
    return 1;
}

// The current scene as a scene file: the file scene as it was opened, or the
// prepared scene (the one the program starts with before any is chosen).
// The caller frees the text.
EMSCRIPTEN_KEEPALIVE char* prallwerkPageCurrentScene() {
    return strdup(program != nullptr ? program->currentSceneText().c_str() : "");
}

// The bodies as they are now, one line each as prallwerk-trace prints them:
// body, kind, position, velocity, spin and angles, the doubles in 17
// significant digits. The caller frees the text.
EMSCRIPTEN_KEEPALIVE char* prallwerkPageBodies() {
    return strdup(program != nullptr ? program->bodiesText().c_str() : "");
}

// What happened to the page: 0 the canvas lost the keyboard (every held key
// comes up, as when a desktop window loses the focus), 1 the page was
// hidden, 2 shown again, 3 the browser left full screen by itself (the user
// pressed Escape there): the window comes back windowed, as the
// screen-mode toggle makes it.
EMSCRIPTEN_KEEPALIVE void prallwerkPageEvent(int kind) { wakeIf(messages.happened(kind)); }

// The frame-time benchmark asks for the vertices of the next frame, and
// reads them when that frame is shown: per topology (0 points, 1 lines, 2
// triangles), count vertices of 12 floats (gl11::Context::CapturedVertex).
EMSCRIPTEN_KEEPALIVE void prallwerkCaptureNextFrame() {
    for (auto& vertices : capturedFrame) vertices.clear();
    captureRequested = true;
}

EMSCRIPTEN_KEEPALIVE const float* prallwerkCapturedVertices(int topology, int* count) {
    if (topology < 0 || topology > 2) return nullptr;
    const auto& vertices = capturedFrame[static_cast<std::size_t>(topology)];
    *count = static_cast<int>(vertices.size());
    return reinterpret_cast<const float*>(vertices.data());
}

}  // extern "C"
