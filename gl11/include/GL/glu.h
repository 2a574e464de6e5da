#ifndef PRALLWERK_GL11_GLU_H
#define PRALLWERK_GL11_GLU_H

/* The part of GLU that the program draws with, over the OpenGL 1.1 subset
 * in GL/gl.h. The sphere has GLU's vertices and normals, in GLU's order. */

#include <GL/gl.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct GLUquadric GLUquadric;

#define GLU_SMOOTH 100000
#define GLU_NONE 100002

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar);

/* Quadrics draw filled, outside-facing and untextured */
GLUquadric* gluNewQuadric(void);
void gluDeleteQuadric(GLUquadric* quadric);
void gluQuadricNormals(GLUquadric* quadric, GLenum normal); /* GLU_SMOOTH (the default) or GLU_NONE */
void gluSphere(GLUquadric* quadric, GLdouble radius, GLint slices, GLint stacks);

#ifdef __cplusplus
}
#endif

#endif
