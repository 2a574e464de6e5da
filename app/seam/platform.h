#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/seam/program_questions.h"
#include "app/text/glyph_outline.h"

// Opaque handles of the platform layer. Only the layer that made a handle
// knows what it points to; everyone else stores it, compares it with null and
// hands it back.
struct PlatformWindow;
struct PlatformContext;

// What the drawing surface of a window must offer.
struct PixelFormatRequest {
    bool doubleBuffered = true;  // RGBA, drawn to a window, with OpenGL support
    int colourBits = 32;         // bits per pixel of the colour buffer, no alpha
    int depthBits = 16;
};

// How a window looks and how its size is meant.
enum class WindowStyle {
    popup,       // borderless, covering the screen: the full-screen window
    overlapped,  // caption, system menu, sizing frame, minimise and maximise boxes
};

struct WindowSpec {
    const char* title = "";
    int width = 0;   // pixels
    int height = 0;  // pixels
    WindowStyle style = WindowStyle::overlapped;
    // false: width x height is the client area; true: it is the outer size of
    // the window, frame included, and the client area is what is left.
    bool sizeIncludesFrame = false;
};

// How a size change came about.
enum class SizeKind { restored, maximised, minimised, other };

// One message for the window, already in the platform-free terms the window
// procedure reads.
struct PlatformEvent {
    enum class Kind {
        none,
        quit,              // the quit message: ends the frame loop
        close,             // the user asked to close the window
        sizeChanged,       // sizeKind; x, y = new client width and height
        keyDown,           // code = virtual-key code (may be above 255)
        keyUp,             // code as for keyDown
        mouseMove,         // x, y = client pixels, origin top-left; buttons
        leftButton,        // down
        rightButton,       // down
        toggleScreenMode,  // re-create the window in the other screen mode
        focusLost,         // another program took the keys (and the user's attention)
        focusGained,       // the program has the keys again
        filesDropped,      // files were dropped on the window: files
    };
    Kind kind = Kind::none;
    SizeKind sizeKind = SizeKind::other;
    int code = 0;
    int x = 0;
    int y = 0;
    unsigned buttons = 0;  // mouseButtonLeft | mouseButtonRight while held
    bool down = false;
    std::vector<std::string> files;  // the paths of the files dropped, in the order given, UTF-8
};

// Button bits of a mouse move.
constexpr unsigned mouseButtonLeft = 1u << 0;
constexpr unsigned mouseButtonRight = 1u << 1;

// Answers of the question box.
enum class Answer { yes, no, other };

// What came of a message box. A box that could not be shown (no fonts on the
// display, no display at all) says why, so that the user can still be told.
struct BoxResult {
    Answer answer = Answer::other;  // the button pressed; other for OK and for a box not shown
    bool shown = true;
    std::string failure;            // the platform's reason when the box was not shown
};

// Everything the program needs of the system it runs on: its windows, their
// OpenGL contexts and view, its events, boxes and clock, and the letters of
// its default face. The program has one; tests use a scripted fake.
class Platform {
public:
    virtual ~Platform() = default;

    // The program running on the platform, for a platform that asks it
    // something (a web page's controls); null once it has ended. A desktop
    // window asks nothing and keeps this default.
    virtual void setProgram(const ProgramQuestions* /*program*/) {}

    // Titles and texts of the boxes are UTF-8.

    // Modal box titled title with text and the buttons Yes and No; Return
    // presses Yes. Escape presses No where the platform's box takes it (SDL's
    // does); a Yes/No box on Windows ignores Escape.
    virtual BoxResult askQuestion(const char* title, const char* text) = 0;

    // Modal box with a warning icon, title, text and an OK button.
    virtual BoxResult showWarning(const char* title, const char* text) = 0;

    // Prepares windows of the named class with OpenGL contexts; false when
    // the platform cannot make them.
    virtual bool registerWindowClass(const char* className) = 0;

    // Undoes registerWindowClass once no window of the class is left.
    virtual void unregisterWindowClass(const char* className) = 0;

    // Switches the display to width x height pixels at bitsPerPixel as a
    // temporary full-screen mode for the next popup window. true only when the
    // display now runs at exactly that resolution and depth.
    virtual bool changeScreenMode(int width, int height, int bitsPerPixel) = 0;

    // Puts the display back into the mode it had before changeScreenMode.
    virtual void restoreScreenMode() = 0;

    // While the full-screen program is not the one the user works with, the
    // display is the other program's: suspendFullscreen puts the display's
    // own mode back and minimises window; resumeFullscreen, once window is
    // restored and active again, switches to the mode of changeScreenMode
    // again and has window cover the screen, false when the display refuses.
    // A windowing system that does both itself for its full-screen windows
    // (SDL does) keeps these defaults.
    virtual void suspendFullscreen(PlatformWindow* /*window*/) {}
    virtual bool resumeFullscreen(PlatformWindow* /*window*/) { return true; }

    // Shows or hides the mouse cursor over the program's windows.
    virtual void showCursor(bool shown) = 0;

    // Records the pixel format that the next window and its context must
    // have; false when the platform cannot offer it.
    virtual bool requestPixelFormat(const PixelFormatRequest& request) = 0;

    // Creates the window at (0, 0), not yet shown; null on failure.
    virtual PlatformWindow* openWindow(const WindowSpec& spec) = 0;

    // Shows the window normally.
    virtual void showWindow(PlatformWindow* window) = 0;

    // Destroys the window; its context must be deleted first.
    virtual void closeWindow(PlatformWindow* window) = 0;

    // An OpenGL context that draws to the window; null on failure.
    virtual PlatformContext* createGlContext(PlatformWindow* window) = 0;

    // Makes context current for window, or no context current when both are
    // null. false on failure.
    virtual bool makeCurrent(PlatformWindow* window, PlatformContext* context) = 0;

    virtual void deleteGlContext(PlatformContext* context) = 0;

    // Presents the frame drawn into the back buffer.
    virtual void swapBuffers(PlatformWindow* window) = 0;

    // Takes the next pending message for the program's window into event
    // without waiting; false when none is pending.
    virtual bool peekEvent(PlatformEvent& event) = 0;

    // Blocks until a message is pending, without taking it.
    virtual void waitEvent() = 0;

    // Queues the quit message.
    virtual void postQuit() = 0;

    // Milliseconds since an arbitrary start, as an unsigned 32-bit counter
    // that wraps after about 49.7 days.
    virtual uint32_t tickCount() = 0;

    // The view of the current context, changed by the window logic and the
    // controls. A platform with OpenGL contexts sets it with OpenGL
    // (app/platform/opengl/); one without records or ignores it.

    // Viewport (0, 0, width, height) in window pixels.
    virtual void setViewport(int width, int height) = 0;

    // Projection matrix = identity x perspective (vertical field of view in
    // degrees, aspect = width / height, near and far plane distances); then
    // the modelview matrix is made current and set to the identity.
    virtual void setPerspective(float fovyDegrees, float aspect, float zNear, float zFar) = 0;

    // Front and back faces drawn as outlines (true) or filled (false).
    virtual void setPolygonLines(bool lines) = 0;

    // The glyph outlines of the platform's default face, for the HUD's
    // letters. Never null: without a face every glyph is empty.
    virtual std::unique_ptr<GlyphSource> openGlyphSource() = 0;
};
