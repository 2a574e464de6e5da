#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/logic/key_presses.h"
#include "app/seam/platform.h"

// The program's start-up, its loop of window generations and its shut-down,
// over the platform operations.

struct Application {
    Platform* platform = nullptr;       // stands for the program instance
    const char* className = "OpenGL";   // window class of every window
};

// The program's window and its OpenGL context.
struct AppWindow {
    int* keys = nullptr;                   // the keyDown array
    PlatformWindow* window = nullptr;      // null when there is none
    PlatformContext* glContext = nullptr;  // null when there is none
    Application* application = nullptr;
    const char* title = "Prallwerk";
    int width = 1024;        // requested client width, pixels
    int height = 768;        // requested client height, pixels
    int bitsPerPixel = 32;   // colour depth of the pixel format and the full-screen mode
    int fullscreen = 1;      // set per generation; cleared when the mode switch fails
    int visible = 0;         // 1 while shown and not minimised: frames render only then
    int active = 1;          // 1 while the program has the keys, 0 while another program has
    int fullscreenSuspended = 0;  // 1 while a full-screen window has given the display back
    uint32_t lastTick = 0;   // tick count of the previous frame, ms
    PendingKeys pendingKeys; // presses the next frame must see even if already released
};

// What a window generation runs, in frame order.
struct FrameHooks {
    bool (*initGraphics)(AppWindow& window, int* keys);  // after each window creation
    void (*updateFrame)(uint32_t elapsedMilliseconds);   // once per rendered frame
    void (*drawFrame)();                                 // after updateFrame
    void (*shutdownGraphics)();                          // before each window is destroyed
};

// The whole program: reads its command line (the arguments after the
// program's name, UTF-8: see app/logic/program_arguments.h), asks for the screen
// mode, registers the window class, opens the scene file named (its scene
// is then the current one; one that cannot be opened is reported and the
// program goes on with its own bodies), then creates windows and renders
// frames into them until the program is to end. Returns the process exit
// code: 0; badArgumentsExitCode for a command line it cannot follow, which
// it reports before anything else; or -1 when the window class cannot be
// registered.
int runProgram(Platform& platform, const FrameHooks& hooks, const std::vector<std::string>& arguments = {});

// Makes the scene of the file at path the current one (openSceneFile); when
// it cannot, tells the user why in a box titled "Error" and keeps the scene
// there was.
void openSceneFileOrWarn(Platform& platform, const std::string& path);

// The line on standard error that stands for a message box the platform
// could not show: "prallwerk: <title>: <text> (no message box: <failure>)",
// with every line break of text turned into a space.
std::string unshownBoxLine(const char* title, const char* text, const std::string& failure);

// Registers the application's window class; on failure tells the user and
// returns false.
bool registerWindowClass(Application& application);

// Creates the window, switching to full-screen first when window.fullscreen
// is 1 (falling back to windowed with a message), and makes its GL context
// current. On success the window is shown and visible, the view sized, the
// keys cleared and lastTick set; on failure everything obtained so far is
// released and false returned.
bool createWindow(AppWindow& window);

// Releases whatever of context and window exists and, for a full-screen
// window, restores the display mode and the cursor. Always succeeds.
void destroyWindow(AppWindow& window);

// Fits the viewport and the projection of platform's current context, and
// the arcball bounds, to a client area of width x height pixels. A width or height below 2 keeps the previous
// projection and bounds, which would otherwise become infinite or NaN.
void resizeView(Platform& platform, int width, int height);

// Posts the quit message, ending the current generation, and sets running to
// 0 so that no other follows.
void requestQuit(AppWindow& window);

// Applies one message to the window state: keys, mouse, visibility, view
// size, close, screen-mode toggle, focus, and a scene file dropped on the
// window, which becomes the current scene (several files dropped at once
// are refused with a message: one scene is current at a time). When another program takes the
// focus, every key comes up (its release goes to that program) and a
// full-screen window gives the display back and minimises; once restored
// and active again it takes the full screen back.
void windowProcedure(AppWindow& window, const PlatformEvent& event);
