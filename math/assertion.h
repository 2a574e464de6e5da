#pragma once

// Checks of states the engine cannot reach: a body count that changed under
// the world, an index out of range, a time that is not a finite number. With
// the checks on (the build option PRALLWERK_ASSERTS, which the test and
// sanitizer builds set), a failed check prints what failed and where, and
// ends the program. With them off, as in the program that ships, the
// condition is not even evaluated, and the engine goes on as it always has:
// where it meets such a state, it repairs it and carries on.
//
// The option is given to the engine's own sources only, so the macro is for
// its .cpp files: a header's inline function would be compiled with the
// checks in some files and without them in others.

#if defined(PRALLWERK_ASSERTS)
#define PRALLWERK_ASSERT(condition) \
    ((condition) ? static_cast<void>(0) : ::prallwerk::assertionFailed(#condition, __FILE__, __LINE__))
#else
#define PRALLWERK_ASSERT(condition) static_cast<void>(sizeof(condition))
#endif

namespace prallwerk {

// Prints "prallwerk: check failed: <condition> (<file>:<line>)" on stderr and
// aborts.
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

// Whether the engine was built with its checks on.
bool assertionsEnabled();

}  // namespace prallwerk
