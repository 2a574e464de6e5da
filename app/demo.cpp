#include "app/demo.h"

#include "app/controls.h"
#include "app/gl_view.h"
#include "app/main_loop.h"
#include "app/render/renderer.h"

int runDemo(Platform& platform, const std::vector<std::string>& arguments) {
    glView = openGlView;
    return runProgram(platform, {initGraphics, updateFrame, drawFrame, shutdownGraphics}, arguments);
}
