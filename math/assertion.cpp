#include "prallwerk/math/assertion.h"

#include <cstdio>
#include <cstdlib>

namespace prallwerk {

void assertionFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "prallwerk: check failed: %s (%s:%d)\n", condition, file, line);
    std::fflush(stderr);
    std::abort();
}

bool assertionsEnabled() {
#if defined(PRALLWERK_ASSERTS)
    return true;
#else
    return false;
#endif
}

}  // namespace prallwerk
