#include "app/program/demo.h"

#include "app/logic/controls.h"
#include "app/logic/gl_view.h"
#include "app/logic/main_loop.h"
#include "app/render/renderer.h"

int runDemo(Platform& platform, const std::vector<std::string>& arguments) {
    glView = openGlView;
    return runProgram(platform, {initGraphics, updateFrame, drawFrame, shutdownGraphics}, arguments);
}
