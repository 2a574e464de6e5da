#include "app/logic/program_answers.h"

#include "app/logic/app_state.h"
#include "app/logic/controls.h"
#include "app/logic/scene_files.h"
#include "prallwerk/math/number_text.h"
#include "prallwerk/scenes/scene_file.h"
#include "prallwerk/world/world.h"

using namespace prallwerk;

bool ProgramAnswers::readsKey(int virtualKey) const { return isControlKey(virtualKey); }

ControlStatus ProgramAnswers::controlStatus() const {
    ControlStatus status;
    status.running = simulationRunning != 0;
    status.wireframe = wireframe != 0;
    status.timeScale = timeScale;
    return status;
}

// Before any scene is chosen, the prepared scene is the one the program
// starts with.
std::string ProgramAnswers::currentSceneText() const {
    const SceneDescription scene = fileScene ? fileScene->scene : describePreparedScene(sceneIndex);
    return writeScene(scene);
}

std::string ProgramAnswers::bodiesText() const {
    std::string text;
    for (int j = 0; j < world->bodyCount; ++j) {
        const RigidBody& b = *world->bodies[j];
        text += std::to_string(j) + "," + std::to_string(b.kind);
        for (const Vec3& v : {b.position, b.velocity, b.spin, b.angles}) {
            for (const double c : {v.x, v.y, v.z}) {
                text += ',';
                appendSignificant17(text, c);
            }
        }
        text += '\n';
    }
    return text;
}
