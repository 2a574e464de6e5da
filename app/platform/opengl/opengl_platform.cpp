#include "app/platform/opengl/opengl_platform.h"

#include <GL/gl.h>
#include <GL/glu.h>

void OpenGlPlatform::setViewport(int width, int height) { glViewport(0, 0, width, height); }

void OpenGlPlatform::setPerspective(float fovyDegrees, float aspect, float zNear, float zFar) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovyDegrees, aspect, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void OpenGlPlatform::setPolygonLines(bool lines) { glPolygonMode(GL_FRONT_AND_BACK, lines ? GL_LINE : GL_FILL); }
