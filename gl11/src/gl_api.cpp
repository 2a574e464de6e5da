// The gl* functions of GL/gl.h: each one calls the current context, or does
// nothing without one.

#include <GL/gl.h>

#include "gl11/context.h"

namespace {

template <typename F>
void withContext(F f) {
    if (gl11::Context* c = gl11::currentContext()) f(*c);
}

float unitOf(GLubyte v) { return static_cast<float>(v) / 255.0f; }

}  // namespace

extern "C" {

void glEnable(GLenum cap) { withContext([=](gl11::Context& c) { c.enable(cap, true); }); }
void glDisable(GLenum cap) { withContext([=](gl11::Context& c) { c.enable(cap, false); }); }
void glDepthFunc(GLenum func) { withContext([=](gl11::Context& c) { c.depthFunc(func); }); }
void glBlendFunc(GLenum s, GLenum d) { withContext([=](gl11::Context& c) { c.blendFunc(s, d); }); }
void glShadeModel(GLenum mode) { withContext([=](gl11::Context& c) { c.shadeModel(mode); }); }
void glHint(GLenum, GLenum) {}
void glPolygonMode(GLenum face, GLenum mode) { withContext([=](gl11::Context& c) { c.polygonMode(face, mode); }); }
void glPointSize(GLfloat size) { withContext([=](gl11::Context& c) { c.pointSize(size); }); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h) {
    withContext([=](gl11::Context& c) { c.viewport(x, y, w, h); });
}
void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
    withContext([=](gl11::Context& c) { c.clearColor(r, g, b, a); });
}
void glClear(GLbitfield mask) { withContext([=](gl11::Context& c) { c.clear(mask); }); }
void glFlush(void) { withContext([](gl11::Context& c) { c.flush(); }); }

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (params != nullptr) withContext([=](gl11::Context& c) { c.light(light, pname, params); });
}
void glLightModelfv(GLenum pname, const GLfloat* params) {
    if (params != nullptr) withContext([=](gl11::Context& c) { c.lightModel(pname, params); });
}
void glLightModeli(GLenum, GLint) {}
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (params != nullptr) withContext([=](gl11::Context& c) { c.material(face, pname, params); });
}
void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
    const GLfloat params[4] = {param, 0.0f, 0.0f, 0.0f};
    if (pname == GL_SHININESS) withContext([&](gl11::Context& c) { c.material(face, pname, params); });
}

void glMatrixMode(GLenum mode) { withContext([=](gl11::Context& c) { c.matrixMode(mode); }); }
void glLoadIdentity(void) { withContext([](gl11::Context& c) { c.loadIdentity(); }); }
void glPushMatrix(void) { withContext([](gl11::Context& c) { c.pushMatrix(); }); }
void glPopMatrix(void) { withContext([](gl11::Context& c) { c.popMatrix(); }); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { withContext([=](gl11::Context& c) { c.translate(x, y, z); }); }
void glMultMatrixf(const GLfloat* m) {
    if (m == nullptr) return;
    gl11::Mat4 by{};
    for (int i = 0; i < 16; ++i) by[i] = m[i];
    withContext([&](gl11::Context& c) { c.multMatrix(by); });
}
void glMultMatrixd(const GLdouble* m) {
    if (m == nullptr) return;
    gl11::Mat4 by{};
    for (int i = 0; i < 16; ++i) by[i] = static_cast<float>(m[i]);
    withContext([&](gl11::Context& c) { c.multMatrix(by); });
}

void glBegin(GLenum mode) { withContext([=](gl11::Context& c) { c.begin(mode); }); }
void glEnd(void) { withContext([](gl11::Context& c) { c.end(); }); }
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { withContext([=](gl11::Context& c) { c.vertex(x, y, z); }); }
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { withContext([=](gl11::Context& c) { c.normal(x, y, z); }); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { withContext([=](gl11::Context& c) { c.colour(r, g, b, 1.0f); }); }
void glColor4fv(const GLfloat* v) {
    if (v != nullptr) withContext([=](gl11::Context& c) { c.colour(v[0], v[1], v[2], v[3]); });
}
void glColor3ub(GLubyte r, GLubyte g, GLubyte b) {
    withContext([=](gl11::Context& c) { c.colour(unitOf(r), unitOf(g), unitOf(b), 1.0f); });
}

GLuint glGenLists(GLsizei range) {
    GLuint base = 0;
    withContext([&](gl11::Context& c) { base = c.genLists(range); });
    return base;
}
void glDeleteLists(GLuint list, GLsizei range) { withContext([=](gl11::Context& c) { c.deleteLists(list, range); }); }
void glNewList(GLuint list, GLenum mode) { withContext([=](gl11::Context& c) { c.newList(list, mode); }); }
void glEndList(void) { withContext([](gl11::Context& c) { c.endList(); }); }
void glCallList(GLuint list) { withContext([=](gl11::Context& c) { c.callList(list); }); }
void glCallLists(GLsizei n, GLenum type, const GLvoid* lists) {
    withContext([=](gl11::Context& c) { c.callLists(n, type, lists); });
}
void glListBase(GLuint base) { withContext([=](gl11::Context& c) { c.listBase(base); }); }
void glPushAttrib(GLbitfield mask) { withContext([=](gl11::Context& c) { c.pushAttrib(mask); }); }
void glPopAttrib(void) { withContext([](gl11::Context& c) { c.popAttrib(); }); }

}  // extern "C"
