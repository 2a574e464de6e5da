#pragma once

#include <string>

namespace prallwerk {

// Why the engine refused a value at its boundary: which body (its index in
// the list or world it came from, or -1 when the value is not one body's,
// such as a step's span), which field ("radius", "velocity.z", "span"), the
// value itself and the rule it broke ("must be above 0"). The world is left
// as it was.
//
// The engine reports refusals as values rather than exceptions: it is built
// for WebAssembly too, where exceptions are off by default, and the program
// checks every refusal inside its frame loop.
struct ValueError {
    int body = -1;
    std::string field;
    double value = 0.0;
    std::string rule;

    // "body 3: radius = -1: must be above 0" ("span = 0: must be above 0"
    // for a value that is no body's).
    std::string message() const;
};

}  // namespace prallwerk
