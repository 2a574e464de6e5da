#pragma once

// What the C functions of the JavaScript module share: the refusal the last
// call left for the module to throw, and the body definition being filled
// field by field before a world or a scene takes it. The module calls one
// function at a time, on one thread, so one of each serves every world.

#include <string>

#include "prallwerk/scenes/body_def.h"

namespace prallwerk::js {

// The message of the last refused call, for pw_error(). A refusal is a
// return value of 0 (or a null pointer), never an exception: the engine
// reports its refusals as values, and the module throws them in JavaScript.
void setError(std::string message);

// The definition pw_def_* fill and pw_world_add_body and pw_scene_add_body
// take.
BodyDef& stagedBody();

// Where functions that return many numbers or a text leave them: the module
// reads them from here before its next call.
double* numbers(int count);
const char* text(std::string value);

}  // namespace prallwerk::js
