// The glu* functions of GL/glu.h over the current context.

#include <GL/glu.h>

#include "gl11/glu_shapes.h"

struct GLUquadric {
    bool normals = true;
};

extern "C" {

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    double m[16];
    if (gl11::perspectiveMatrix(fovy, aspect, zNear, zFar, m)) glMultMatrixd(m);
}

GLUquadric* gluNewQuadric(void) { return new GLUquadric; }

void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }

void gluQuadricNormals(GLUquadric* quadric, GLenum normal) {
    if (quadric != nullptr && (normal == GLU_SMOOTH || normal == GLU_NONE)) quadric->normals = normal == GLU_SMOOTH;
}

void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks) {
    gl11::Context* context = gl11::currentContext();
    if (quadric != nullptr && context != nullptr) gl11::drawSphere(*context, radius, slices, stacks, quadric->normals);
}

}  // extern "C"
