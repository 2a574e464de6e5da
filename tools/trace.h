#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "prallwerk/scenes/scene_file.h"

// What prallwerk-trace runs: a scene (or the world's default bodies for -1),
// a drop world or a scene file's bodies, a number of frames of a fixed wall
// length, and the time scale.
struct TraceOptions {
    int scene = 0;             // -1 keeps the default bodies, 0..3 loads that scene
    long frames = 0;
    uint32_t frameMs = 16;
    float timeScale = 1.0f;
    bool events = false;       // one line per resolved impact instead of body states
    int drop = 0;              // > 0: that many bodies dropped on a grid (DropWorld) instead of a scene
    std::optional<prallwerk::SceneDescription> sceneFile;  // set: these bodies under this gravity instead
    long fromFrame = 0;        // the trace shows the world from the end of this frame on
    std::string saveState;     // set: the world's snapshot at the end of frame fromFrame goes to this file
    std::string restoreState;  // set: the world starts at the end of frame fromFrame from this snapshot file
};

// Header line of the state trace.
extern const char* const traceStateHeader;
// Header line of the event trace.
extern const char* const traceEventHeader;

// Runs the frames exactly as the program's per-frame update does while the
// simulation runs, writing CSV to out. A scene file's bodies run in a
// GravityWorld built by buildWorld. From frame fromFrame on: the states of
// that frame and the later ones, the impacts of the frames after it; the
// frames before run unseen, or are not run at all when the world restores
// restoreState's snapshot, which stands for them. False, and nothing
// written, when buildWorld refuses the bodies (never for a scene that
// parseScene read), or with the reason in error when a snapshot cannot be
// read, restored or written.
bool writeTrace(const TraceOptions& options, std::FILE* out, std::string* error = nullptr);

// Parses the command line of prallwerk-trace, reading the scene file that
// --scene-file names. Returns true and fills options, or false with a
// one-line reason in error (for a refused scene file, its SceneFileError's
// message), and sets help when --help was asked for.
bool parseTraceArguments(int argc, const char* const* argv, TraceOptions& options,
                         bool& help, std::string& error);
