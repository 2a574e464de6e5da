#ifndef PRALLWERK_GL11_GL_H
#define PRALLWERK_GL11_GL_H

/* The part of OpenGL 1.1 that the program draws with, for platforms that
 * have no OpenGL 1.1 of their own (the page draws with WebGL 2). Names,
 * values and meanings are OpenGL 1.1's; what a function takes beyond the
 * program's needs is said at the function. The calls go to the current
 * context (gl11/context.h); with none they do nothing. */

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned int GLenum;
typedef unsigned char GLboolean;
typedef unsigned int GLbitfield;
typedef void GLvoid;
typedef int GLint;
typedef int GLsizei;
typedef unsigned int GLuint;
typedef unsigned char GLubyte;
typedef float GLfloat;
typedef float GLclampf;
typedef double GLdouble;

#define GL_FALSE 0
#define GL_TRUE 1

/* Primitives */
#define GL_POINTS 0x0000
#define GL_LINES 0x0001
#define GL_LINE_LOOP 0x0002
#define GL_LINE_STRIP 0x0003
#define GL_TRIANGLES 0x0004
#define GL_TRIANGLE_STRIP 0x0005
#define GL_TRIANGLE_FAN 0x0006
#define GL_QUADS 0x0007
#define GL_QUAD_STRIP 0x0008
#define GL_POLYGON 0x0009

/* Comparison functions */
#define GL_NEVER 0x0200
#define GL_LESS 0x0201
#define GL_EQUAL 0x0202
#define GL_LEQUAL 0x0203
#define GL_GREATER 0x0204
#define GL_NOTEQUAL 0x0205
#define GL_GEQUAL 0x0206
#define GL_ALWAYS 0x0207

/* Blending factors */
#define GL_ZERO 0
#define GL_ONE 1
#define GL_SRC_COLOR 0x0300
#define GL_ONE_MINUS_SRC_COLOR 0x0301
#define GL_SRC_ALPHA 0x0302
#define GL_ONE_MINUS_SRC_ALPHA 0x0303
#define GL_DST_ALPHA 0x0304
#define GL_ONE_MINUS_DST_ALPHA 0x0305
#define GL_DST_COLOR 0x0306
#define GL_ONE_MINUS_DST_COLOR 0x0307
#define GL_SRC_ALPHA_SATURATE 0x0308

/* Faces and polygon modes */
#define GL_FRONT 0x0404
#define GL_BACK 0x0405
#define GL_FRONT_AND_BACK 0x0408
#define GL_POINT 0x1B00
#define GL_LINE 0x1B01
#define GL_FILL 0x1B02

/* Capabilities */
#define GL_CULL_FACE 0x0B44
#define GL_LIGHTING 0x0B50
#define GL_COLOR_MATERIAL 0x0B57
#define GL_DEPTH_TEST 0x0B71
#define GL_NORMALIZE 0x0BA1
#define GL_BLEND 0x0BE2
#define GL_LIGHT0 0x4000
#define GL_LIGHT1 0x4001

/* Hints */
#define GL_PERSPECTIVE_CORRECTION_HINT 0x0C50
#define GL_DONT_CARE 0x1100
#define GL_FASTEST 0x1101
#define GL_NICEST 0x1102

/* Lights and materials */
#define GL_LIGHT_MODEL_TWO_SIDE 0x0B52
#define GL_LIGHT_MODEL_AMBIENT 0x0B53
#define GL_AMBIENT 0x1200
#define GL_DIFFUSE 0x1201
#define GL_SPECULAR 0x1202
#define GL_POSITION 0x1203
#define GL_EMISSION 0x1600
#define GL_SHININESS 0x1601
#define GL_AMBIENT_AND_DIFFUSE 0x1602

/* Shading */
#define GL_FLAT 0x1D00
#define GL_SMOOTH 0x1D01

/* Matrices */
#define GL_MODELVIEW 0x1700
#define GL_PROJECTION 0x1701

/* Buffers */
#define GL_DEPTH_BUFFER_BIT 0x00000100
#define GL_COLOR_BUFFER_BIT 0x00004000

/* Display lists */
#define GL_COMPILE 0x1300
#define GL_LIST_BIT 0x00020000
#define GL_UNSIGNED_BYTE 0x1401

/* State */
void glEnable(GLenum cap);
void glDisable(GLenum cap);
void glDepthFunc(GLenum func);
void glBlendFunc(GLenum sfactor, GLenum dfactor);
void glShadeModel(GLenum mode);
void glHint(GLenum target, GLenum mode); /* every hint is already the nicest */
void glPolygonMode(GLenum face, GLenum mode); /* face: GL_FRONT_AND_BACK */
void glPointSize(GLfloat size);
void glViewport(GLint x, GLint y, GLsizei width, GLsizei height);
void glClearColor(GLclampf red, GLclampf green, GLclampf blue, GLclampf alpha);
void glClear(GLbitfield mask);
void glFlush(void);

/* Lighting: GL_LIGHT0 and GL_LIGHT1, without attenuation or spots; one-sided */
void glLightfv(GLenum light, GLenum pname, const GLfloat* params);
void glLightModelfv(GLenum pname, const GLfloat* params);
void glLightModeli(GLenum pname, GLint param); /* two-sided lighting: GL_FALSE only */
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params); /* for the front faces */
void glMaterialf(GLenum face, GLenum pname, GLfloat param);

/* Matrices */
void glMatrixMode(GLenum mode);
void glLoadIdentity(void);
void glPushMatrix(void);
void glPopMatrix(void);
void glTranslatef(GLfloat x, GLfloat y, GLfloat z);
void glMultMatrixf(const GLfloat* m);
void glMultMatrixd(const GLdouble* m);

/* Immediate mode */
void glBegin(GLenum mode);
void glEnd(void);
void glVertex3f(GLfloat x, GLfloat y, GLfloat z);
void glNormal3f(GLfloat nx, GLfloat ny, GLfloat nz);
void glColor3f(GLfloat red, GLfloat green, GLfloat blue);
void glColor4fv(const GLfloat* v);
void glColor3ub(GLubyte red, GLubyte green, GLubyte blue);

/* Display lists: GL_COMPILE only */
GLuint glGenLists(GLsizei range);
void glDeleteLists(GLuint list, GLsizei range);
void glNewList(GLuint list, GLenum mode);
void glEndList(void);
void glCallList(GLuint list);
void glCallLists(GLsizei n, GLenum type, const GLvoid* lists); /* type: GL_UNSIGNED_BYTE */
void glListBase(GLuint base);
void glPushAttrib(GLbitfield mask); /* saves GL_LIST_BIT's state: the list base */
void glPopAttrib(void);

#ifdef __cplusplus
}
#endif

#endif
