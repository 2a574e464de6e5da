#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/program/demo.h"
#include "app/platform/win32/win32_messages.h"

namespace {

// The arguments after the program's name, from the wide command line (the
// narrow one WinMain gets has the system's code page, which cannot name
// every file), split as Windows splits it, in UTF-8.
std::vector<std::string> commandLineArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(words[i]));
    LocalFree(words);
    return arguments;
}

}  // namespace

// A GUI-subsystem program: no console. WinMain's result is the exit code.
// The instance is the program's own module, which the platform finds itself.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return startProgram(commandLineArguments());
}
