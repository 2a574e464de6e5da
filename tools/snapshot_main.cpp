// prallwerk-snapshot: draws, without a display, the frame that the program
// shows at a simulated time of a scene, HUD included, and writes it as a PNG.
// The frame comes from the program's own window, per-frame update and
// drawing, on a platform without a display (an off-screen OSMesa context).
#define GL_GLEXT_PROTOTYPES 1  // glPointParameterfv
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/controls.h"
#include "app/logic/main_loop.h"
#include "app/logic/scene_files.h"
#include "app/render/renderer.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/scene_file.h"
#include "prallwerk/scenes/scenes.h"
#include "tools/arguments.h"
#include "tools/offscreen_platform.h"
#include "tools/png_writer.h"

using namespace prallwerk;

namespace {

const char* const usage =
    "Usage: prallwerk-snapshot (--scene N | --scene-file FILE) --time T --out FILE.png\n"
    "                          [--width W --height H] [--point-scale S] [--wireframe]\n"
    "\n"
    "Loads scene N (0..3, numbered as for prallwerk-trace: the HUD shows N + 1),\n"
    "or keeps the bodies the program starts with for N = -1, or builds the\n"
    "bodies of the scene file FILE (JSON, as for prallwerk-trace) under its\n"
    "gravity (the program's drawing shows the first seven), starts the\n"
    "simulation as Space does and runs it through the program's own per-frame\n"
    "update in as many frames of 16 ms as T seconds take, rounded up (T from 0\n"
    "to 600, a decimal number; the HUD shows the program's own single-precision\n"
    "sum of the frames, which falls behind T by a little over long runs).\n"
    "Then draws that frame as the program does, HUD included, at W x H pixels\n"
    "(2 to 4096 each, default 1024 x 768), with the bodies as outlines for\n"
    "--wireframe, and writes it to FILE.png as 8-bit RGB. --point-scale S (from\n"
    "0.1 to 16, default 1) draws the boxes' centre points S times their size, as\n"
    "the page does where its canvas has S pixels per window pixel.\n"
    "\n"
    "Needs no display: the frame is drawn by Mesa's off-screen renderer.\n"
    "Bad arguments print one line on stderr and exit with status 2, writing\n"
    "nothing, and so does a scene file that cannot be read or is refused (the\n"
    "line names the file, the place in it and the rule); a failure to draw or\n"
    "to write the file exits with status 1.\n";

constexpr uint32_t frameMilliseconds = 16;
constexpr double longestTime = 600.0;  // s; every scene has long come to rest by then
constexpr long smallestSide = 2;       // pixels: the projection needs a width and height of 2 or more
constexpr long largestSide = 4096;     // pixels

struct SnapshotOptions {
    int scene = 0;        // -1 keeps the starting bodies, 0..3 loads that scene
    std::optional<SceneDescription> sceneFile;  // set: the scene file's, checked, instead of a scene
    std::string sceneFilePath;                  // the scene file named; empty when none
    double time = 0.0;    // simulated seconds
    std::string out;
    int width = 1024;     // pixels
    int height = 768;     // pixels
    bool wireframe = false;
    double pointScale = 1.0;  // point sizes times this
};

bool parsePointScale(const char* text, double& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(v) || v < 0.1 || v > 16.0) return false;
    value = v;
    return true;
}

bool parseSeconds(const char* text, double& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(v) || v < 0.0 || v > longestTime) return false;
    value = v;
    return true;
}

// Fills options from the command line. false with a one-line reason in error,
// or with help set when usage was asked for.
bool parseArguments(int argc, char** argv, SnapshotOptions& options, bool& help, std::string& error) {
    SceneChoice choice;
    const bool parsed = parseToolArguments(
        argc, argv,
        {
            {"--wireframe", false, false, "",
             [&](const char*) {
                 options.wireframe = true;
                 return true;
             }},
            sceneOption(-1, sceneCount - 1, options.scene, choice),
            sceneFileOption(choice),
            {"--time", true, true, "--time needs a number of seconds from 0 to 600",
             [&](const char* value) { return parseSeconds(value, options.time); }},
            {"--out", true, true, "--out needs a file name",
             [&](const char* value) {
                 if (value == nullptr || *value == '\0') return false;
                 options.out = value;
                 return true;
             }},
            integerOption("--width", false, smallestSide, largestSide, options.width),
            integerOption("--height", false, smallestSide, largestSide, options.height),
            {"--point-scale", true, false, "--point-scale needs a number from 0.1 to 16",
             [&](const char* value) { return parsePointScale(value, options.pointScale); }},
        },
        help, error);
    if (!parsed) return false;
    if (choice.sceneGiven == !choice.file.empty()) {
        error = "one of --scene and --scene-file is required (see --help)";
        return false;
    }
    options.sceneFilePath = choice.file;
    return readChosenSceneFile(choice, options.sceneFile, error);
}

// Frames of 16 ms that seconds take, rounded up. The tolerance keeps a time
// that is a whole number of frames (0.16 s) from gaining one through
// rounding.
int framesUntil(double seconds) {
    const double frames = seconds * 1000.0 / frameMilliseconds;
    return static_cast<int>(std::ceil(frames - 1e-9));
}

// The frame at the chosen moment, as RGB rows from the bottom up, in window,
// the program's window of options.width x options.height pixels with its
// context current.
std::vector<unsigned char> drawSnapshot(AppWindow& window, const SnapshotOptions& options) {
    wireframe = options.wireframe ? 1 : 0;
    initGraphics(window, keyDown);
    if (options.pointScale != 1.0) {
        // A point's size is divided by the square root of the first
        // attenuation factor: 1 / S^2 makes it S times the program's.
        const auto s = static_cast<GLfloat>(options.pointScale);
        const GLfloat attenuation[3] = {1.0f / (s * s), 0.0f, 0.0f};
        glPointParameterfv(GL_POINT_DISTANCE_ATTENUATION, attenuation);
    }

    if (!options.sceneFilePath.empty()) {
        // The program's own file scene, as for a file named on its command
        // line: the file's bodies under its gravity, its title on the HUD's
        // scene line. The file was read and checked with the arguments.
        openSceneFile(options.sceneFilePath);
    } else if (options.scene >= 0) {
        sceneIndex = options.scene;
        loadScene(*world, sceneIndex);
    }
    // As Space starts it: running, and the time counted from zero.
    simulationRunning = 1;
    sceneFresh = 0;
    simulatedTime = 0.0f;
    const int frames = framesUntil(options.time);
    for (int i = 0; i < frames; ++i) updateFrame(frameMilliseconds);

    drawFrame();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(options.width) * options.height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, options.width, options.height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());

    running = 0;  // the program's end: the World goes with the graphics
    shutdownGraphics();
    return rgb;
}

}  // namespace

int main(int argc, char** argv) {
    SnapshotOptions options;
    bool help = false;
    std::string error;
    if (!parseArguments(argc, argv, options, help, error)) {
        if (help) {
            std::fputs(usage, stdout);
            return 0;
        }
        std::fprintf(stderr, "prallwerk-snapshot: %s\n", error.c_str());
        return 2;
    }

    // The program's window, made as the program makes it (windowed), on a
    // platform that draws into memory.
    OffscreenPlatform platform;
    Application application;
    application.platform = &platform;
    AppWindow window;
    window.application = &application;
    window.keys = keyDown;
    window.width = options.width;
    window.height = options.height;
    window.fullscreen = 0;
    if (!createWindow(window)) {
        std::fprintf(stderr, "prallwerk-snapshot: cannot create an off-screen OpenGL context\n");
        return 1;
    }
    const std::vector<unsigned char> rgb = drawSnapshot(window, options);
    destroyWindow(window);

    if (!writePng(options.out, options.width, options.height, rgb.data(), error)) {
        std::fprintf(stderr, "prallwerk-snapshot: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
