#include <cstdlib>

#include "app/demo.h"
#include "app/platform/web/web_platform.h"

// The page's program. Ending through exit() lets the page know: it says so
// and offers to start again.
int main() {
    const auto platform = openWebPlatform();
    const int code = runDemo(*platform);
    std::exit(code);
}
