#include <string>
#include <vector>

#include "app/program/demo.h"

// The arguments are taken as given: Linux's file names are bytes, UTF-8 on
// any system set up in this century.
int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    return startProgram(arguments);
}
