#pragma once

#include <string>
#include <vector>

// The program's command line: prallwerk [FILE], FILE a scene file whose scene
// is the current one from the start.

struct ProgramArguments {
    std::string sceneFile;  // the scene file named, UTF-8; empty when none
    std::string error;      // what is wrong with the command line, for the user; empty when nothing
};

// The exit code of a program started with a command line it cannot follow.
constexpr int badArgumentsExitCode = 2;

// Reads the arguments after the program's name (UTF-8 on every platform).
// One argument that is no option names the scene file; "--" ends the
// options, so that a file whose name starts with "-" can be named too. Any
// option (an argument starting with "-", "-" alone included: the program
// reads no standard input) and a second file are refused, the error naming
// the argument and giving the usage.
ProgramArguments parseProgramArguments(const std::vector<std::string>& arguments);
