// prallwerk-scene-file: writes one of the engine's own scenes as a scene file,
// from the engine itself (scenes/files/ holds its output).
#include <cstdio>
#include <string>

#include "prallwerk/scenes/scene_file.h"
#include "prallwerk/scenes/scenes.h"
#include "tools/host/host.h"
#include "tools/arguments.h"

using namespace prallwerk;

namespace {

const char* const usage =
    "Usage: prallwerk-scene-file (--scene N | --drop B)\n"
    "\n"
    "Writes prepared scene N (0..3, numbered as for prallwerk-trace) or the\n"
    "world of B bodies (1..10000) dropped on a grid as prallwerk-trace --drop\n"
    "runs it, as a scene file (JSON) on stdout, every number in the fewest\n"
    "digits that read back to the engine's own value: prallwerk-trace\n"
    "--scene-file traces the file exactly as --scene N or --drop B.\n"
    "Bad arguments print one line on stderr and exit with status 2.\n";

}  // namespace

int main(int argc, char** argv) {
    writeStandardOutputAsBytes();
    int scene = -1, drop = 0;
    bool help = false;
    std::string error;
    const bool parsed = parseToolArguments(argc, argv,
                                           {integerOption("--scene", false, 0, sceneCount - 1, scene),
                                            integerOption("--drop", false, 1, 10000, drop)},
                                           help, error);
    if (!parsed && help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (parsed && (scene >= 0) == (drop > 0)) error = "one of --scene and --drop is required (see --help)";
    if (!parsed || !error.empty()) {
        std::fprintf(stderr, "prallwerk-scene-file: %s\n", error.c_str());
        return 2;
    }
    buildSceneTable();
    const std::string text = writeScene(scene >= 0 ? describePreparedScene(scene) : describeDropWorld(drop));
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "prallwerk-scene-file: the scene could not be written\n");
        return 1;
    }
    return 0;
}
