#include "app/render/renderer.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/controls.h"
#include "app/logic/main_loop.h"
#include "app/render/hud.h"
#include "app/text/outline_font.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/scenes.h"

using namespace prallwerk;

namespace {

// Light 1, fixed to the camera: its position is given in eye coordinates.
constexpr GLfloat globalAmbient[] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr GLfloat lightAmbient[] = {0.1f, 0.1f, 0.1f, 1.0f};
constexpr GLfloat lightDiffuse[] = {0.8f, 0.8f, 0.8f, 1.0f};
constexpr GLfloat lightSpecular[] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr GLfloat lightPosition[] = {5.0f, 5.0f, 10.0f, 1.0f};  // w = 1: a positional light

// Body material; the diffuse colour is the body's row of bodyColours.
constexpr GLfloat bodyAmbient[] = {0.1f, 0.1f, 0.1f, 1.0f};
constexpr GLfloat bodySpecular[] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr GLfloat bodyShininess = 1.0f;

constexpr GLfloat gridGrey = 0.5f;
constexpr float gridHalfSize = 50.0f;  // m: lines from -50 to 50 in x and y
constexpr float gridSpacing = 1.0f;    // m

constexpr GLint sphereSlices = 12;
constexpr GLint sphereStacks = 12;
constexpr GLfloat centrePointSize = 10.0f;  // pixels

// One quadric serves every sphere of every window: it holds only drawing
// options, no GL objects, so it outlives the contexts.
GLUquadric* sphereQuadric = nullptr;

void vertex(const Vec3& v) {
    glVertex3f(static_cast<GLfloat>(v.x), static_cast<GLfloat>(v.y), static_cast<GLfloat>(v.z));
}

// Unlit lines in the plane z = 0: 101 running along y, then 101 along x. The
// loop variable is single precision, as the values handed to GL are.
void drawGrid() {
    glColor3f(gridGrey, gridGrey, gridGrey);
    glBegin(GL_LINES);
    for (float x = -gridHalfSize; x <= gridHalfSize; x += gridSpacing) {
        glVertex3f(x, gridHalfSize, 0.0f);
        glVertex3f(x, -gridHalfSize, 0.0f);
    }
    for (float y = -gridHalfSize; y <= gridHalfSize; y += gridSpacing) {
        glVertex3f(gridHalfSize, y, 0.0f);
        glVertex3f(-gridHalfSize, y, 0.0f);
    }
    glEnd();
}

void unlitColour(const GLfloat* rgba) {
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    glColor4fv(rgba);
}

void lit() {
    glEnable(GL_LIGHTING);
    glDisable(GL_COLOR_MATERIAL);
}

// Body j with its velocity line from the centre to centre + velocity, at its
// own size: a sphere of its radius, a box through its corners.
void drawBody(int j, const RigidBody& body) {
    const int row = bodyColourRow(j);
    unlitColour(bodyColours[row]);
    const GLfloat x = static_cast<GLfloat>(body.position.x);
    const GLfloat y = static_cast<GLfloat>(body.position.y);
    const GLfloat z = static_cast<GLfloat>(body.position.z);
    glTranslatef(x, y, z);
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    vertex(body.velocity);
    glEnd();

    lit();
    setBodyMaterial(row);
    if (body.kind == kindSphere) {
        if (sphereQuadric != nullptr) gluSphere(sphereQuadric, body.radius, sphereSlices, sphereStacks);
    } else {
        drawBox(body.box);
    }
    glTranslatef(-x, -y, -z);
}

}  // namespace

bool initGraphics(AppWindow& window, int* keys) {
    controlWindow = &window;
    controlKeys = keys;
    leftButtonDown = 0;
    isDragging = 0;

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearColor(0.0f, 0.0f, 0.0f, 0.5f);
    glShadeModel(GL_SMOOTH);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, globalAmbient);
    glLightfv(GL_LIGHT1, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT1, GL_SPECULAR, lightSpecular);
    // GL takes a light's position through the modelview matrix: with the
    // identity in place the light stays put relative to the camera and does
    // not turn with the arcball.
    glPushMatrix();
    glLoadIdentity();
    glLightfv(GL_LIGHT1, GL_POSITION, lightPosition);
    glPopMatrix();
    glEnable(GL_LIGHT1);
    glDisable(GL_NORMALIZE);

    // A new context starts with filled polygons, but the wireframe flag
    // survives a screen-mode change: without this the first frame of the new
    // window would show solid bodies.
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);

    buildFontFrom(*window.application->platform->openGlyphSource());
    buildSceneTable();
    if (sphereQuadric == nullptr) {
        sphereQuadric = gluNewQuadric();
        if (sphereQuadric != nullptr) gluQuadricNormals(sphereQuadric, GLU_SMOOTH);
    }
    return true;
}

void drawFrame() {
    glMatrixMode(GL_MODELVIEW);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, cameraDistance);

    glPushMatrix();
    glMultMatrixf(sceneTransform.m);
    drawGrid();
    for (int j = 0; j < world->bodyCount; ++j) drawBody(j, *world->bodies[j]);
    glPopMatrix();

    glLoadIdentity();
    drawHud();
    glFlush();
}

void shutdownGraphics() {
    deleteFont();
    if (running != 0) return;
    if (sphereQuadric != nullptr) {
        gluDeleteQuadric(sphereQuadric);
        sphereQuadric = nullptr;
    }
    if (world != nullptr) {
        world->destroy();
        delete world;
        world = nullptr;
    }
}

void setBodyMaterial(int j) {
    if (j < 0 || j >= bodyColourCount) return;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, bodyAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, bodyColours[j]);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, bodySpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, bodyShininess);
}

void drawBox(const BoxShape& box) {
    glBegin(GL_TRIANGLES);
    for (const BoxFace& face : boxFaces) {
        const Vec3 n = faceNormal(box.corners[face.normalCorners[0]], box.corners[face.normalCorners[1]],
                                  box.corners[face.normalCorners[2]]);
        glNormal3f(static_cast<GLfloat>(n.x), static_cast<GLfloat>(n.y), static_cast<GLfloat>(n.z));
        for (const auto& triangle : face.triangles) {
            for (int corner : triangle) vertex(box.corners[corner]);
        }
    }
    glEnd();

    static constexpr GLfloat yellow[] = {1.0f, 1.0f, 0.0f, 1.0f};
    glPointSize(centrePointSize);
    unlitColour(yellow);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    lit();
}
