#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <initializer_list>
#include <string>
#include <vector>

#include "prallwerk/scenes/scene_file.h"

// Command-line values of the tools. Each accepts the whole text or nothing.

// A decimal integer within [low, high]. Long long, as a Windows long has only
// 32 bits and the tools take unsigned 32-bit values.
inline bool parseLong(const char* text, long long low, long long high, long long& value) {
    if (text == nullptr || *text == '\0') return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    value = v;
    return true;
}

// One option of a tool's command line.
struct ToolOption {
    const char* name;      // "--scene"
    bool takesValue;       // false: a flag
    bool required;
    std::string refusal;   // the error when take refuses the value: "--scene needs an integer from -1 to 3"
    std::function<bool(const char* value)> take;  // stores the value (nullptr for a flag, or when
                                                  // the command line ends); false refuses it
};

// An option whose value is a decimal integer within [low, high], stored in
// into.
template <typename Integer>
ToolOption integerOption(const char* name, bool required, long long low, long long high, Integer& into) {
    return {name, true, required,
            std::string(name) + " needs an integer from " + std::to_string(low) + " to " + std::to_string(high),
            [low, high, &into](const char* value) {
                long long v = 0;
                if (!parseLong(value, low, high, v)) return false;
                into = static_cast<Integer>(v);
                return true;
            }};
}

// The two ways a tool is told which bodies to start from: --scene N and
// --scene-file FILE. What the command line gave of them.
struct SceneChoice {
    bool sceneGiven = false;  // --scene was given (its value is in the tool's options)
    std::string file;         // --scene-file's value; empty when not given
};

// --scene N with N within [low, high], stored in scene.
inline ToolOption sceneOption(long long low, long long high, int& scene, SceneChoice& choice) {
    ToolOption option = integerOption("--scene", false, low, high, scene);
    option.take = [&choice, take = option.take](const char* value) { return choice.sceneGiven = take(value); };
    return option;
}

inline ToolOption sceneFileOption(SceneChoice& choice) {
    return {"--scene-file", true, false, "--scene-file needs a file name", [&choice](const char* value) {
                if (value == nullptr || *value == '\0') return false;
                choice.file = value;
                return true;
            }};
}

// The scene of the file that --scene-file named, read and checked, into
// scene; nothing when none was named. false with the reason (file, place and
// rule) in error when the file cannot be read or is refused.
inline bool readChosenSceneFile(const SceneChoice& choice, std::optional<prallwerk::SceneDescription>& scene,
                                std::string& error) {
    if (choice.file.empty()) return true;
    prallwerk::SceneRead read = prallwerk::readSceneFile(choice.file);
    if (read.error) {
        error = read.error->message();
        return false;
    }
    scene = std::move(read.scene);
    return true;
}

// Reads argv[1..] against the options, in any order. Returns true when every
// argument was taken and every required option given; false with a one-line
// reason in error, or with help set when --help or -h was asked for.
inline bool parseToolArguments(int argc, const char* const* argv, std::initializer_list<ToolOption> options,
                               bool& help, std::string& error) {
    help = false;
    std::vector<bool> given(options.size(), false);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            help = true;
            return false;
        }
        const ToolOption* option = options.begin();
        while (option != options.end() && std::strcmp(arg, option->name) != 0) ++option;
        if (option == options.end()) {
            error = std::string("unknown argument ") + arg + " (see --help)";
            return false;
        }
        const char* value = option->takesValue && i + 1 < argc ? argv[++i] : nullptr;
        if (!option->take(value)) {
            error = option->refusal;
            return false;
        }
        given[static_cast<size_t>(option - options.begin())] = true;
    }
    // All the required options are named when one of them is missing.
    std::vector<const char*> required;
    bool complete = true;
    for (const ToolOption& o : options) {
        if (!o.required) continue;
        required.push_back(o.name);
        complete = complete && given[static_cast<size_t>(&o - options.begin())];
    }
    if (complete) return true;
    error.clear();
    for (size_t k = 0; k < required.size(); ++k) {
        error += k == 0 ? "" : k + 1 == required.size() ? " and " : ", ";
        error += required[k];
    }
    error += required.size() == 1 ? " is required (see --help)" : " are required (see --help)";
    return false;
}
