#pragma once

#include "tools/soak/soak_shared.h"

// The desktop program as a user runs it, started as the program starts on
// its platform (SDL with real OpenGL), with the start question answered No
// and warnings written to standard error instead of waiting for a click. After every frame it checks that each body's state
// is finite and that OpenGL reported no error, and writes its figures to
// shared. Returns the program's exit status.
int runSoakedProgram(SoakShared& shared);
