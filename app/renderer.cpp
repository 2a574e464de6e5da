#include "app/renderer.h"

#include <GL/gl.h>

#include "app/app_state.h"
#include "app/arcball.h"
#include "app/controls.h"
#include "core/world.h"
#include "scenes/scenes.h"

// A plain stand-in for the lit renderer and its HUD: the grid, each body's
// centre as a point, box edges and velocity lines, enough to see the
// simulation move.

namespace {

constexpr float gridHalfSize = 50.0f;  // m
constexpr float bodyPointSize = 8.0f;  // pixels

const float bodyColours[7][3] = {
    {1.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f},
    {1.0f, 0.0f, 1.0f}, {0.0f, 1.0f, 1.0f}, {1.0f, 0.5f, 0.0f},
};

// Corner pairs of the twelve box edges (numbering of BoxShape).
const int boxEdges[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

void vertex(const Vec3& v) {
    glVertex3f(static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

void drawGrid() {
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    for (float i = -gridHalfSize; i <= gridHalfSize; i += 1.0f) {
        glVertex3f(i, gridHalfSize, 0.0f);
        glVertex3f(i, -gridHalfSize, 0.0f);
        glVertex3f(gridHalfSize, i, 0.0f);
        glVertex3f(-gridHalfSize, i, 0.0f);
    }
    glEnd();
}

void drawBody(const RigidBody& body, const float* colour) {
    glColor3fv(colour);
    glTranslatef(static_cast<float>(body.position.x), static_cast<float>(body.position.y),
                 static_cast<float>(body.position.z));
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    vertex(body.velocity);
    if (body.kind == kindBox) {
        for (const auto& edge : boxEdges) {
            vertex(body.box.corners[edge[0]]);
            vertex(body.box.corners[edge[1]]);
        }
    }
    glEnd();
    glTranslatef(-static_cast<float>(body.position.x), -static_cast<float>(body.position.y),
                 -static_cast<float>(body.position.z));
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
    glPointSize(bodyPointSize);
    buildSceneTable();
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
    for (int j = 0; j < world->bodyCount; ++j) drawBody(*world->bodies[j], bodyColours[j % 7]);
    glPopMatrix();
    glFlush();
}

void shutdownGraphics() {
    if (running == 0 && world != nullptr) {
        world->destroy();
        delete world;
        world = nullptr;
    }
}
