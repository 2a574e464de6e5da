#pragma once

#include <string>

// What a platform may ask the program it runs. A desktop window asks
// nothing; a web page must know which keys to keep from the browser, and
// its controls and panel show the program's state. The program hands its
// answers to the platform (Platform::setProgram) for as long as it runs.

// What the controls show.
struct ControlStatus {
    bool running = false;    // the simulation advances each frame
    bool wireframe = false;  // bodies drawn as outlines
    float timeScale = 1.0f;  // elapsed time is divided by it
};

class ProgramQuestions {
public:
    virtual ~ProgramQuestions() = default;

    // Whether some control reads the key with this virtual-key code: the keys
    // whose meaning a host (a browser) must not act on while the program runs.
    virtual bool readsKey(int virtualKey) const = 0;

    virtual ControlStatus controlStatus() const = 0;

    // The current scene as a scene file (JSON): the file scene as it was
    // opened, or the current prepared scene.
    virtual std::string currentSceneText() const = 0;

    // The bodies as they are now, one line each as prallwerk-trace prints
    // them: body, kind, position, velocity, spin and angles, the doubles in
    // 17 significant digits.
    virtual std::string bodiesText() const = 0;
};
