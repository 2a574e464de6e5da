#include <emscripten.h>

#include "app/program/demo.h"
#include "app/platform/web/web_platform.h"

// Tells the page that the program has ended: it says so and offers to start
// again.
EM_JS(void, pageEnded, (int code), { Module.page.ended(code); });

// The page's program.
int main() {
    const auto platform = openWebPlatform();
    const int code = runDemo(*platform);
    pageEnded(code);
    return code;
}
