#include "app/logic/gl_view.h"

#include <GL/gl.h>
#include <GL/glu.h>

const GlView openGlView = {
    [](int width, int height) { glViewport(0, 0, width, height); },
    [](float fovyDegrees, float aspect, float zNear, float zFar) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(fovyDegrees, aspect, zNear, zFar);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    },
    [](bool lines) { glPolygonMode(GL_FRONT_AND_BACK, lines ? GL_LINE : GL_FILL); },
};
