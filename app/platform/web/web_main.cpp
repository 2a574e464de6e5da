#include <emscripten.h>

#include "app/program/demo.h"

// Tells the page that the program has ended: it says so and offers to start
// again.
EM_JS(void, pageEnded, (int code), { Module.page.ended(code); });

// The page's program.
int main() {
    const int code = startProgram({});
    pageEnded(code);
    return code;
}
