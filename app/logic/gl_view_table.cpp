#include "app/logic/gl_view.h"

// Until the program installs the OpenGL operations there is no context to
// change, so the view changes go nowhere.
GlView glView = {
    [](int, int) {},
    [](float, float, float, float) {},
    [](bool) {},
};
