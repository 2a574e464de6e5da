// The scene file reader under libFuzzer: any bytes are read or refused,
// never more. A refusal is one line; a scene read builds a world, and its
// writing reads back to the same writing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "prallwerk/scenes/scene_file.h"

using namespace prallwerk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const SceneRead read = parseScene(text, "fuzz.json");
    if (read.error) {
        if (read.error->message().find('\n') != std::string::npos) std::abort();
        return 0;
    }
    if (buildWorld(read.scene).world == nullptr) std::abort();
    const std::string written = writeScene(read.scene);
    const SceneRead again = parseScene(written, "written.json");
    if (again.error || writeScene(again.scene) != written) std::abort();
    return 0;
}
