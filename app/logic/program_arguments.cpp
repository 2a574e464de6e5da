#include "app/logic/program_arguments.h"

namespace {

const char* const usageLine = "\nUsage: prallwerk [SCENE-FILE]";

// A command line refused: the reason and the usage, and no scene file.
ProgramArguments refused(const std::string& reason) {
    ProgramArguments parsed;
    parsed.error = reason + usageLine;
    return parsed;
}

}  // namespace

ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments) {
    ProgramArguments parsed;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && !argument.empty() && argument[0] == '-') return refused("Unknown Option: " + argument);
        if (!parsed.sceneFile.empty()) {
            return refused("One Scene File At A Time: " + parsed.sceneFile + " and " + argument);
        }
        if (argument.empty()) return refused("An Empty Scene File Name");
        parsed.sceneFile = argument;
    }
    return parsed;
}
