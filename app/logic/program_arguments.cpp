#include "app/logic/program_arguments.h"

namespace {

const char* const usageLine = "\nUsage: prallwerk [SCENE-FILE]";

}  // namespace

ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments) {
    ProgramArguments parsed;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && !argument.empty() && argument[0] == '-') {
            parsed = ProgramArguments{};
            parsed.error = "Unknown Option: " + argument + usageLine;
            return parsed;
        }
        if (!parsed.sceneFile.empty()) {
            const std::string first = parsed.sceneFile;
            parsed = ProgramArguments{};
            parsed.error = "One Scene File At A Time: " + first + " and " + argument + usageLine;
            return parsed;
        }
        if (argument.empty()) {
            parsed = ProgramArguments{};
            parsed.error = std::string("An Empty Scene File Name") + usageLine;
            return parsed;
        }
        parsed.sceneFile = argument;
    }
    return parsed;
}
