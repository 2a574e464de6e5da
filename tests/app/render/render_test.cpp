// The program's drawing in a real window on an X display (run under Xvfb),
// read back from the framebuffer: where the grid, the bodies, their lines
// and points, the panels and the HUD's texts land, at the program's 1024 x 768
// view with the arcball at rest.
#include "app/render/renderer.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/logic/app_state.h"
#include "app/logic/arcball.h"
#include "app/logic/controls.h"
#include "app/render/hud.h"
#include "app/platform/sdl/freetype_glyphs.h"
#include "app/logic/main_loop.h"
#include "app/text/outline_font.h"
#include "app/platform/sdl/platform_sdl.h"
#include "app/logic/scene_files.h"
#include "app/text/glyph_fill.h"
#include "tests/app/fake_platform.h"
#include "prallwerk/scenes/body_def.h"
#include "prallwerk/world/world.h"
#include "prallwerk/scenes/scenes.h"

#include <SDL.h>

using namespace prallwerk;

namespace {

constexpr int viewWidth = 1024;
constexpr int viewHeight = 768;
constexpr double pi = 3.14159265358979323846;

using Rgb = std::array<int, 3>;
constexpr Rgb black = {0, 0, 0};

// A frame read back, rows from the bottom as GL counts them.
struct Frame {
    std::vector<unsigned char> rgb;

    Rgb at(int x, int y) const {
        if (x < 0 || y < 0 || x >= viewWidth || y >= viewHeight) return black;
        const std::size_t i = (static_cast<std::size_t>(y) * viewWidth + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // Whether any pixel within radius of (x, y) passes test.
    template <typename Test>
    bool near(double x, double y, int radius, Test test) const {
        const int cx = static_cast<int>(std::floor(x)), cy = static_cast<int>(std::floor(y));
        for (int dy = -radius; dy <= radius; ++dy) {
            for (int dx = -radius; dx <= radius; ++dx) {
                if (test(at(cx + dx, cy + dy))) return true;
            }
        }
        return false;
    }
};

Frame readFrame() {
    Frame f;
    f.rgb.resize(static_cast<std::size_t>(viewWidth) * viewHeight * 3);
    glFinish();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, viewWidth, viewHeight, GL_RGB, GL_UNSIGNED_BYTE, f.rgb.data());
    return f;
}

Frame drawAndRead() {
    drawFrame();
    return readFrame();
}

bool isGrey(const Rgb& p, int level) {
    return std::abs(p[0] - level) <= 2 && p[0] == p[1] && p[1] == p[2];
}

// A lit body shows its colour's channels well above the others, whatever
// the light adds to all three.
bool looksLike(const Rgb& p, const float* colour) {
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 3; ++k) {
            if (colour[i] == 1.0f && colour[k] == 0.0f && p[i] - p[k] < 80) return false;
        }
    }
    return true;
}

// The exact colour that GL stores for an unlit RGBA value.
Rgb stored(const float* colour) {
    return {static_cast<int>(std::lround(colour[0] * 255.0f)), static_cast<int>(std::lround(colour[1] * 255.0f)),
            static_cast<int>(std::lround(colour[2] * 255.0f))};
}

struct WindowPoint {
    double x;
    double y;
};

// Where an eye-space point lands in the window: 45-degree vertical field of
// view, aspect 4:3, 1024 x 768 pixels.
WindowPoint project(double x, double y, double z) {
    const double f = 1.0 / std::tan(22.5 * pi / 180.0);
    const double aspect = static_cast<double>(viewWidth) / viewHeight;
    return {viewWidth / 2.0 + viewWidth / 2.0 * f / aspect * x / -z, viewHeight / 2.0 + viewHeight / 2.0 * f * y / -z};
}

// A world point with the arcball at rest: the camera 50 units above the origin.
WindowPoint projectWorld(double x, double y, double z) { return project(x, y, z + cameraDistance); }

// Bodies far below the ground, beyond the far plane: out of every picture.
void parkBodies() {
    for (int j = 0; j < world->bodyCount; ++j) {
        RigidBody& b = *world->bodies[j];
        b.position = {0.0, 0.0, -500.0};
        b.velocity = {0.0, 0.0, 0.0};
    }
}

// Body j as an unturned cube of edge 2 at position, at rest.
void placeCube(int j, const Vec3& position) {
    RigidBody& b = *world->bodies[j];
    ASSERT_EQ(b.kind, kindBox);
    b.position = position;
    b.velocity = {0.0, 0.0, 0.0};
    b.angles = {0.0, 0.0, 0.0};
    b.box.resetCorners();
}

int destroyedWorlds = 0;

class CountingWorld : public GravityWorld {
public:
    CountingWorld() : GravityWorld() {}
    void destroy() override {
        ++destroyedWorlds;
        GravityWorld::destroy();
    }
};

// One window for the whole run: the program's own, made as the program makes
// it, with the graphics initialised for it.
class ProgramWindow : public testing::Environment {
public:
    void SetUp() override {
        std::string error;
        platform = openSdlPlatform(error);
        ASSERT_TRUE(platform) << error;
        application.platform = platform.get();
        window.application = &application;
        window.keys = keyDown;
        window.fullscreen = 0;
        ASSERT_TRUE(registerWindowClass(application));
        ASSERT_TRUE(createWindow(window));
        running = 1;
        ASSERT_TRUE(initGraphics(window, keyDown));
    }
    void TearDown() override {
        running = 0;
        shutdownGraphics();
        destroyWindow(window);
        platform.reset();
    }

    static std::unique_ptr<Platform> platform;
    static Application application;
    static AppWindow window;
};

std::unique_ptr<Platform> ProgramWindow::platform;
Application ProgramWindow::application;
AppWindow ProgramWindow::window;
testing::Environment* const programWindow = testing::AddGlobalTestEnvironment(new ProgramWindow);

class Rendering : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(ProgramWindow::platform, nullptr);
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        ASSERT_EQ(viewport[2], viewWidth);
        ASSERT_EQ(viewport[3], viewHeight);
        sceneIndex = 0;
        simulatedTime = 0.0f;
        cameraDistance = -50.0f;
        sceneTransform = Mat4{};
        setWireframe(false);
        loadScene(*world, 0);
        parkBodies();
    }
    // A file scene's bodies beyond the seven go again.
    void TearDown() override {
        fileScene.reset();
        world->setRules(Rules::classic);
        while (world->bodyCount > sceneBodyCount) world->eraseBody(world->bodyCount - 1);
    }

    static void setWireframe(bool on) {
        wireframe = on ? 1 : 0;
        ProgramWindow::platform->setPolygonLines(on);
    }

    AppWindow& window = ProgramWindow::window;
};

// The platform's view call sets the perspective it is given, and leaves the
// modelview matrix current and fresh for the frame.
TEST_F(Rendering, ThePlatformsPerspectiveIsTheOneAskedFor) {
    GLfloat windowsProjection[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, windowsProjection);
    glMatrixMode(GL_MODELVIEW);
    glTranslatef(1.0f, 2.0f, 3.0f);
    const float nearPlane = 0.5f, farPlane = 200.0f;
    ProgramWindow::platform->setPerspective(45.0f, 2.0f, nearPlane, farPlane);

    GLfloat p[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    const double cotangent = 1.0 / std::tan(45.0 / 2.0 * 3.14159265358979323846 / 180.0);
    EXPECT_NEAR(p[0], cotangent / 2.0, 1e-5) << "the aspect divides the width's scale";
    EXPECT_NEAR(p[5], cotangent, 1e-5);
    EXPECT_NEAR(p[10], (farPlane + nearPlane) / (nearPlane - farPlane), 1e-5);
    EXPECT_NEAR(p[14], 2.0 * farPlane * nearPlane / (nearPlane - farPlane), 1e-5);
    EXPECT_EQ(p[11], -1.0f);

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLfloat m[16] = {};
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(m[i], i % 5 == 0 ? 1.0f : 0.0f) << i;

    // The tests after this one draw through the window's own perspective.
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(windowsProjection);
    glMatrixMode(GL_MODELVIEW);
}

TEST_F(Rendering, InitGraphicsSetsTheStateTheLightTheFontAndTheScenes) {
    leftButtonDown = 1;
    isDragging = 1;
    controlWindow = nullptr;
    controlKeys = nullptr;
    sceneTable[3][6] = SceneBodyDef{};
    setWireframe(true);  // as a new window finds it after a screen-mode change
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    while (glGetError() != GL_NO_ERROR) {
    }
    EXPECT_TRUE(initGraphics(window, keyDown));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(controlWindow, &window);
    EXPECT_EQ(controlKeys, keyDown);
    EXPECT_EQ(leftButtonDown, 0);
    EXPECT_EQ(isDragging, 0);
    EXPECT_NE(sceneTable[3][6].kind, 0);
    EXPECT_NE(fontListBase, 0u);
    EXPECT_GT(glyphMetrics[0xE4].advance, 0.0f);

    GLint polygonMode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_LINE);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_TRUE(glIsEnabled(GL_LIGHT1));
    EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
    EXPECT_FALSE(glIsEnabled(GL_NORMALIZE));

    using Four = std::array<GLfloat, 4>;
    const auto light = [](GLenum what) {
        Four v{};
        glGetLightfv(GL_LIGHT1, what, v.data());
        return v;
    };
    Four v{};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, v.data());
    EXPECT_EQ(v, (Four{0.0f, 0.0f, 0.0f, 0.5f}));
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, v.data());
    EXPECT_EQ(v, (Four{0.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(light(GL_AMBIENT), (Four{0.1f, 0.1f, 0.1f, 1.0f}));
    EXPECT_EQ(light(GL_DIFFUSE), (Four{0.8f, 0.8f, 0.8f, 1.0f}));
    EXPECT_EQ(light(GL_SPECULAR), (Four{0.5f, 0.5f, 0.5f, 1.0f}));
    EXPECT_EQ(light(GL_POSITION), (Four{5.0f, 5.0f, 10.0f, 1.0f}));  // eye coordinates: fixed to the camera
    setWireframe(false);
}

TEST_F(Rendering, SetBodyMaterialTakesTheBodyColourAndIgnoresOtherIndices) {
    using Four = std::array<GLfloat, 4>;
    setBodyMaterial(6);
    setBodyMaterial(7);
    setBodyMaterial(-1);
    for (const GLenum face : {GL_FRONT, GL_BACK}) {
        const auto material = [face](GLenum what) {
            Four v{};
            glGetMaterialfv(face, what, v.data());
            return v;
        };
        EXPECT_EQ(material(GL_DIFFUSE), (Four{1.0f, 0.5f, 0.0f, 1.0f}));
        EXPECT_EQ(material(GL_AMBIENT), (Four{0.1f, 0.1f, 0.1f, 1.0f}));
        EXPECT_EQ(material(GL_SPECULAR), (Four{0.5f, 0.5f, 0.5f, 1.0f}));
        EXPECT_EQ(material(GL_SHININESS)[0], 1.0f);
    }
    setBodyMaterial(0);
    GLfloat first[4] = {};
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, first);
    EXPECT_EQ((Four{first[0], first[1], first[2], first[3]}), (Four{1.0f, 1.0f, 0.0f, 1.0f})) << "the first body's";
}

// A box is lit; its centre point is not, and the state after it is the lit
// one its caller drew the box in.
TEST_F(Rendering, DrawBoxLeavesLightingOnAndColourTrackingOff) {
    placeCube(1, {0.0, 0.0, 1.0});
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    drawBox(world->bodies[1]->box);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    glDisable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
}

TEST_F(Rendering, EveryFrameEndsInTheStateTheNextOneStartsFrom) {
    using Matrix = std::array<GLfloat, 16>;
    Matrix projection{};
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    for (const bool lines : {false, true}) {
        setWireframe(lines);
        placeCube(1, {0.0, 0.0, 1.0});
        glMatrixMode(GL_PROJECTION);  // whichever matrix the frame finds current
        while (glGetError() != GL_NO_ERROR) {
        }
        drawFrame();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "every push has its pop, every call its state";
        GLint matrixMode = 0;
        glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
        EXPECT_EQ(matrixMode, GL_MODELVIEW);
        Matrix after{};
        glGetFloatv(GL_PROJECTION_MATRIX, after.data());
        EXPECT_EQ(after, projection);
        EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
        EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
        EXPECT_FALSE(glIsEnabled(GL_BLEND));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
        GLint mode[2] = {};
        glGetIntegerv(GL_POLYGON_MODE, mode);
        EXPECT_EQ(mode[0], lines ? GL_LINE : GL_FILL);
        EXPECT_EQ(mode[1], lines ? GL_LINE : GL_FILL);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
    }
}

// A frame starts afresh: whatever matrix it finds current and whatever that
// matrix holds, the picture is the same.
TEST_F(Rendering, AFrameIsTheSameWhateverMatrixItFinds) {
    placeCube(1, {2.0, -3.0, 1.0});
    const Frame clean = drawAndRead();
    glLoadIdentity();
    glTranslatef(3.0f, -2.0f, -7.0f);
    glMatrixMode(GL_PROJECTION);
    const Frame found = drawAndRead();
    EXPECT_TRUE(found.rgb == clean.rgb);
}

// Seen from 50 units straight above, the unit grid covers the whole view and
// its lines x = 0 and y = 0 cross at the centre of the window.
TEST_F(Rendering, GridFillsTheViewWithTheOriginAtTheCentre) {
    const Frame frame = drawAndRead();
    const auto grid = [](const Rgb& p) { return isGrey(p, 128); };

    // Along a row between two horizontal lines: a vertical line at every
    // whole x across the width, and nothing between them.
    const int row = static_cast<int>(projectWorld(0.0, 0.5, 0.0).y);
    int columns = 0;
    for (int k = -30; k <= 30; ++k) {
        const double x = projectWorld(k, 0.0, 0.0).x;
        if (x < 1.0 || x > viewWidth - 2.0) continue;
        ++columns;
        EXPECT_TRUE(frame.near(x, row, 1, grid)) << "no line x = " << k << " near column " << x;
        EXPECT_EQ(frame.at(static_cast<int>(projectWorld(k + 0.5, 0.0, 0.0).x), row), black) << "between " << k;
    }
    EXPECT_EQ(columns, 55);  // x = -27 .. 27: the view is 55.2 cells wide
    EXPECT_NEAR(projectWorld(-27.0, 0.0, 0.0).x, 11.4, 0.1);

    // Along a column, through the clear band between the two panels.
    const int column = static_cast<int>(projectWorld(0.5, 0.0, 0.0).x);
    for (int k = -13; k <= 15; ++k) {
        EXPECT_TRUE(frame.near(column, projectWorld(0.0, k, 0.0).y, 1, grid)) << "no line y = " << k;
        EXPECT_EQ(frame.at(column, static_cast<int>(projectWorld(0.0, k + 0.5, 0.0).y)), black) << "between " << k;
    }
    EXPECT_TRUE(grid(frame.at(viewWidth / 2, viewHeight / 2)) || grid(frame.at(viewWidth / 2 - 1, viewHeight / 2 - 1)));
}

TEST_F(Rendering, BodiesShowTheirLitColourWhereTheyStand) {
    RigidBody& sphere = *world->bodies[0];
    ASSERT_EQ(sphere.kind, kindSphere);
    sphere.position = {-8.0, 6.0, 1.0};
    sphere.velocity = {0.0, 0.0, 0.0};
    placeCube(3, {8.0, -6.0, 1.0});
    placeCube(5, {-10.0, -8.0, 1.0});
    const Frame frame = drawAndRead();

    const WindowPoint s = projectWorld(-8.0, 6.0, 2.0);  // top of the sphere
    EXPECT_TRUE(looksLike(frame.at(static_cast<int>(s.x), static_cast<int>(s.y)), bodyColours[0]));
    // Beside it, past its radius, the ground shows.
    EXPECT_FALSE(looksLike(frame.at(static_cast<int>(projectWorld(-6.5, 6.0, 1.0).x), static_cast<int>(s.y)),
                           bodyColours[0]));
    for (const int j : {3, 5}) {
        const Vec3& p = world->bodies[j]->position;
        const WindowPoint top = projectWorld(p.x + 0.5, p.y + 0.25, 2.0);  // on the top face, off its diagonals
        EXPECT_TRUE(looksLike(frame.at(static_cast<int>(top.x), static_cast<int>(top.y)), bodyColours[j])) << j;
    }
}

// Seen from above, a line along -z runs from the body's centre towards the
// middle of the window and ends where centre + velocity lands.
TEST_F(Rendering, VelocityLinesRunFromTheCentreAlongTheVelocity) {
    placeCube(3, {10.0, 0.5, 20.0});
    const Rgb blue = stored(bodyColours[3]);
    const auto line = [&](const Rgb& p) { return p == blue; };

    world->bodies[3]->velocity = {0.0, 0.0, -40.0};  // falling at 40 m/s
    Frame frame = drawAndRead();
    for (double z = 15.0; z >= -19.0; z -= 2.0) {  // below the box down to near the end
        const WindowPoint w = projectWorld(10.0, 0.5, z);
        EXPECT_TRUE(frame.near(w.x, w.y, 1, line)) << "no line at z = " << z;
    }
    for (const double z : {-23.0, 26.0}) {  // past the end, and where a rising line would be
        const WindowPoint w = projectWorld(10.0, 0.5, z);
        EXPECT_FALSE(frame.near(w.x, w.y, 1, line)) << "line at z = " << z;
    }

    world->bodies[3]->velocity = {0.0, 0.0, 0.0};
    frame = drawAndRead();
    const WindowPoint below = projectWorld(10.0, 0.5, 0.0);
    EXPECT_FALSE(frame.near(below.x, below.y, 2, line));
}

TEST_F(Rendering, PanelsAreTranslucentGreyWithYellowBorders) {
    for (const bool lines : {false, true}) {
        setWireframe(lines);
        const Frame frame = drawAndRead();
        // Inside the lower panel, above the table's labels: between two grid
        // lines the panel over black, on one the grid shining through.
        const int lowerRow = static_cast<int>(project(0.0, lowerPanelTop, panelDepth).y) - 4;
        EXPECT_TRUE(isGrey(frame.at(static_cast<int>(projectWorld(-10.5, 0.0, 0.0).x), lowerRow), 64)) << lines;
        EXPECT_TRUE(frame.near(projectWorld(-10.0, 0.0, 0.0).x, lowerRow, 1, [](const Rgb& p) { return isGrey(p, 128); }))
            << lines;
        // Inside the top panel, below the control lines.
        const int topRow = static_cast<int>(project(0.0, topPanelBottom, panelDepth).y) + 4;
        EXPECT_TRUE(isGrey(frame.at(static_cast<int>(projectWorld(0.5, 0.0, 0.0).x), topRow), 64)) << lines;
        // Outside both.
        EXPECT_EQ(frame.at(static_cast<int>(projectWorld(0.5, 0.0, 0.0).x), viewHeight / 2 + 9), black);

        // The borders: yellow at 0.8, along the top and right
        // edges of the lower panel and the lower edge of the top one.
        const auto border = [](const Rgb& p) {  // over black or over a grid line
            return p[0] == p[1] && ((std::abs(p[0] - 204) <= 2 && p[2] == 0) || (std::abs(p[0] - 230) <= 2 && std::abs(p[2] - 26) <= 2));
        };
        const WindowPoint lowerTop = project(-2.55, lowerPanelTop, panelDepth);
        const WindowPoint lowerRight = project(lowerPanelRight, -1.5, panelDepth);
        const WindowPoint topBottom = project(2.55, topPanelBottom, panelDepth);
        EXPECT_TRUE(frame.near(lowerTop.x, lowerTop.y, 1, border)) << lines;
        EXPECT_TRUE(frame.near(lowerRight.x, lowerRight.y - 4, 1, border)) << lines;
        EXPECT_TRUE(frame.near(topBottom.x, topBottom.y, 1, border)) << lines;
    }
}

// Spheres and boxes become the outlines of their triangles; what lies
// inside a face shows through.
TEST_F(Rendering, WireframeTurnsBodiesIntoOutlines) {
    placeCube(2, {8.0, -6.5, 1.0});
    const WindowPoint inside = projectWorld(8.5, -7.0, 2.0);  // on the top face, off its diagonal
    // On the top face's diagonal, an edge of that face alone and lit as it is.
    const WindowPoint edge = projectWorld(8.5, -6.0, 2.0);
    const auto green = [](const Rgb& p) { return looksLike(p, bodyColours[2]); };

    Frame frame = drawAndRead();
    EXPECT_TRUE(green(frame.at(static_cast<int>(inside.x), static_cast<int>(inside.y))));

    setWireframe(true);
    frame = drawAndRead();
    EXPECT_FALSE(frame.near(inside.x, inside.y, 2, green));
    EXPECT_TRUE(frame.near(edge.x, edge.y, 1, green));
}

// In a filled box the point sits hidden inside; feedback shows what is
// drawn regardless of depth.
TEST_F(Rendering, BoxesShowTheirYellowCentrePointInBothModes) {
    const Vec3 centre = {-6.0, 4.0, 3.0};
    placeCube(4, centre);
    const WindowPoint c = projectWorld(centre.x, centre.y, centre.z);
    const unsigned savedFont = fontListBase;
    for (const bool lines : {false, true}) {
        setWireframe(lines);
        fontListBase = 0;  // the letters would only fill the feedback buffer
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        drawFrame();
        const GLint size = glRenderMode(GL_RENDER);
        fontListBase = savedFont;
        ASSERT_GT(size, 0);

        int yellowPoints = 0;
        for (GLint i = 0; i < size;) {
            const GLint token = static_cast<GLint>(buffer[i++]);
            const int vertexSize = 7;  // x, y, z, r, g, b, a
            int vertices = 0;
            if (token == GL_POINT_TOKEN) {
                const GLfloat* v = &buffer[i];
                if (std::abs(v[0] - c.x) < 0.5 && std::abs(v[1] - c.y) < 0.5 && v[3] == 1.0f && v[4] == 1.0f &&
                    v[5] == 0.0f) {
                    ++yellowPoints;
                }
                vertices = 1;
            } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
                vertices = 2;
            } else if (token == GL_POLYGON_TOKEN) {
                vertices = static_cast<int>(buffer[i++]);
            } else if (token == GL_PASS_THROUGH_TOKEN) {
                i += 1;
            } else {
                FAIL() << "unexpected feedback token " << token;
            }
            i += vertices * vertexSize;
        }
        EXPECT_EQ(yellowPoints, 1) << lines;
        GLfloat pointSize = 0.0f;
        glGetFloatv(GL_POINT_SIZE, &pointSize);
        EXPECT_EQ(pointSize, 10.0f);
    }

    const Frame frame = drawAndRead();  // still in wireframe: the point shows
    const Rgb yellow = stored(bodyColours[0]);
    int yellowPixels = 0;
    for (int dy = -5; dy <= 5; ++dy) {
        for (int dx = -5; dx <= 5; ++dx) yellowPixels += frame.at(static_cast<int>(c.x) + dx, static_cast<int>(c.y) + dy) == yellow;
    }
    EXPECT_GE(yellowPixels, 40);
}

// The HUD's texts as they must read, drawn on their own for comparison.
struct ExpectedText {
    bool leftAligned;
    float x, y, z;
    std::string text;
    const float* colour;
};

const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};

std::string vectorText(const Vec3& v) {
    char text[64];
    std::snprintf(text, sizeof text, "(%.2f, %.2f, %.2f)", v.x, v.y, v.z);
    return text;
}

std::vector<ExpectedText> expectedHud(const std::string& sceneLine, const std::string& timeLine,
                                      const std::string& wireframeLine) {
    std::vector<ExpectedText> texts = {
        {true, -32.0f, 23.0f, -60.0f, "Simulation Start / Pause (Space)", white},
        {true, -32.0f, 22.0f, -60.0f, "Reset (R)", white},
        {true, -32.0f, 21.0f, -60.0f, sceneLine, white},
        {false, 32.0f, 23.0f, -60.0f, timeLine, white},
        {false, 32.0f, 21.0f, -60.0f, wireframeLine, white},
        {false, -29.0f, -21.0f, -70.0f, "Position:", white},
        {false, -17.0f, -21.0f, -70.0f, "Beschleunigung:", white},
        {false, -6.5f, -21.0f, -70.0f, "W-Beschleunigung:", white},
        {false, 1.0f, -21.0f, -70.0f, "Winkel:", white},
    };
    for (int j = 0; j < 7; ++j) {
        const RigidBody& b = *world->bodies[j];
        const float y = -22.0f - static_cast<float>(j);
        texts.push_back({false, -27.0f, y, -70.0f, vectorText(b.position), bodyColours[j]});
        texts.push_back({false, -17.0f, y, -70.0f, vectorText(b.velocity), bodyColours[j]});
        texts.push_back({false, -7.0f, y, -70.0f, vectorText(b.spin), bodyColours[j]});
        texts.push_back({false, 3.0f, y, -70.0f, vectorText(b.angles), bodyColours[j]});
    }
    return texts;
}

Frame drawTextsAlone(const std::vector<ExpectedText>& texts) {
    GLint mode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, mode);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    for (const ExpectedText& t : texts) {
        glColor4fv(t.colour);
        printText(t.leftAligned, t.x, t.y, t.z, "%s", t.text.c_str());
    }
    glEnable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, static_cast<GLenum>(mode[0]));
    return readFrame();
}

struct HudState {
    const char* name;
    int sceneIndex;
    float simulatedTime;
    bool wireframe;
    const char* sceneLine;
    const char* timeLine;
    const char* wireframeLine;
    const char* fileTitle = nullptr;  // UTF-8; set: a file scene is current
    int bodyCount = 7;
    const char* moreBodiesLine = nullptr;  // beside the table's last row
    Rules rules = Rules::classic;
    const char* rulesLine = "Regeln: klassisch";  // beside the table's labels
};

void PrintTo(const HudState& state, std::ostream* out) { *out << state.sceneLine << ", " << state.timeLine; }

class HudTexts : public Rendering, public testing::WithParamInterface<HudState> {};

// Every pixel in a text colour belongs to the expected texts, and every
// pixel of theirs is there, in its colour: each text reads as it must, in
// its place, filled also in wireframe mode.
TEST_P(HudTexts, ReadAsTheyMustWhereTheyBelong) {
    const HudState& state = GetParam();
    sceneIndex = state.sceneIndex;
    simulatedTime = state.simulatedTime;
    setWireframe(state.wireframe);
    if (state.fileTitle != nullptr) fileScene = FileScene{SceneDescription{}, state.fileTitle};
    world->setRules(state.rules);
    while (world->bodyCount < state.bodyCount) world->appendBody(*world->bodies[1]);
    for (int j = 0; j < 7; ++j) {
        RigidBody& b = *world->bodies[j];
        b.position = {1.25 * j - 4.0, 0.5 * j, -500.0 - j};
        b.velocity = {0.0, -2.5 * j, 10.125};
        b.spin = {0.75 * j, 0.0, -1.5};
        b.angles = {0.0, 0.25 * j, 6.25};
    }

    const Frame frame = drawAndRead();
    std::vector<ExpectedText> texts = expectedHud(state.sceneLine, state.timeLine, state.wireframeLine);
    if (state.moreBodiesLine != nullptr) texts.push_back({true, 5.0f, -28.0f, -70.0f, state.moreBodiesLine, white});
    texts.push_back({true, 5.0f, -21.0f, -70.0f, state.rulesLine, white});
    const Frame expected = drawTextsAlone(texts);

    std::vector<Rgb> textColours = {stored(white)};
    for (const auto& colour : bodyColours) textColours.push_back(stored(colour));
    const auto inTextColour = [&](const Rgb& p) {
        for (const Rgb& c : textColours) {
            if (p == c) return true;
        }
        return false;
    };
    int mismatches = 0, textPixels = 0;
    for (int y = 0; y < viewHeight; ++y) {
        for (int x = 0; x < viewWidth; ++x) {
            const Rgb want = expected.at(x, y);
            const Rgb got = frame.at(x, y);
            textPixels += want != black;
            const bool ok = want == black ? !inTextColour(got) : got == want;
            if (!ok && ++mismatches <= 5) ADD_FAILURE() << "pixel " << x << ", " << y;
        }
    }
    EXPECT_EQ(mismatches, 0);

    // And each text has letters in its own place.
    for (const ExpectedText& t : texts) {
        const float width = textWidth(t.text.data(), t.text.size());
        const float left = t.leftAligned ? t.x : t.x - width;
        const WindowPoint a = project(left, t.y, t.z);
        const WindowPoint b = project(left + width, t.y + 0.7f, t.z);
        int lit = 0;
        for (int y = static_cast<int>(a.y); y <= static_cast<int>(b.y); ++y) {
            for (int x = static_cast<int>(a.x); x <= static_cast<int>(b.x); ++x) lit += frame.at(x, y) == stored(t.colour);
        }
        EXPECT_GT(lit, 20) << t.text;
    }
    EXPECT_GT(textPixels, 10000);
}

INSTANTIATE_TEST_SUITE_P(
    States, HudTexts,
    testing::Values(HudState{"AtStart", 0, 0.0f, false, "Szene w\xE4hlen (F7/F8): 1 von 4", "Zeit in Sekunden: 0.00",
                             "Drahtgitter-Modus (F3): aus"},
                    HudState{"Wireframe", 3, 12.345f, true, "Szene w\xE4hlen (F7/F8): 4 von 4",
                             "Zeit in Sekunden: 12.35", "Drahtgitter-Modus (F3): an"},
                    // The file's title in place of the numbers, and the bodies
                    // beyond the table's rows counted.
                    HudState{"FileScene", 2, 3.5f, false, "Szene w\xE4hlen (F7/F8): Kugel auf W\xFCrfel",
                             "Zeit in Sekunden: 3.50", "Drahtgitter-Modus (F3): aus", "Kugel auf W\xC3\xBCrfel", 100,
                             "\x85 und 93 weitere K\xF6rper"},
                    HudState{"FileSceneOfEight", 0, 0.0f, true, "Szene w\xE4hlen (F7/F8): acht.json",
                             "Zeit in Sekunden: 0.00", "Drahtgitter-Modus (F3): an", "acht.json", 8,
                             "\x85 und 1 weiterer K\xF6rper"},
                    // Under the physical rules the spins shown are the
                    // angular velocities, the field the rules keep them in.
                    HudState{"PhysicalFileScene", 0, 1.5f, false, "Szene w\xE4hlen (F7/F8): Rampen",
                             "Zeit in Sekunden: 1.50", "Drahtgitter-Modus (F3): aus", "Rampen", 7, nullptr,
                             Rules::physical, "Regeln: physikalisch"}),
    [](const testing::TestParamInfo<HudState>& info) { return info.param.name; });

// A title too long for its line is cut with "…" as far as it must be and no
// further, so that it ends a letter's width before the wireframe line.
TEST_F(Rendering, ALongSceneTitleIsCutBeforeTheWireframeLine) {
    const std::string shortText = "Szene w\xE4hlen (F7/F8): 1 von 4";
    EXPECT_EQ(cutToWidth(shortText, 40.0f), shortText);
    const std::string longText = shortText + std::string(60, 'W');
    // Exact fits: the whole text, and a cut text with its "…".
    EXPECT_EQ(cutToWidth(shortText, textWidth(shortText.data(), shortText.size())), shortText);
    const std::string fits = longText.substr(0, 40) + "\x85";
    EXPECT_EQ(cutToWidth(longText, textWidth(fits.data(), fits.size())), fits);
    for (const float width : {20.0f, 37.5f, 50.0f}) {
        const std::string cut = cutToWidth(longText, width);
        ASSERT_GE(cut.size(), 2u);
        EXPECT_EQ(cut.back(), '\x85');
        const std::string kept = cut.substr(0, cut.size() - 1);
        EXPECT_EQ(longText.compare(0, kept.size(), kept), 0);
        EXPECT_LE(textWidth(cut.data(), cut.size()), width);
        const std::string oneMore = longText.substr(0, kept.size() + 1) + "\x85";
        EXPECT_GT(textWidth(oneMore.data(), oneMore.size()), width) << width;
    }

    for (const bool lines : {false, true}) {
        setWireframe(lines);
        fileScene = FileScene{SceneDescription{}, std::string(80, 'W')};
        const Frame frame = drawAndRead();
        const std::string wire = lines ? "Drahtgitter-Modus (F3): an" : "Drahtgitter-Modus (F3): aus";
        const float wireStart = rightColumnEnd - textWidth(wire.data(), wire.size());
        const auto whiteIn = [&](float left, float right) {
            int count = 0;
            const WindowPoint a = project(left, 21.0, -60.0), b = project(right, 21.7, -60.0);
            for (int y = static_cast<int>(a.y); y <= static_cast<int>(b.y); ++y) {
                for (int x = static_cast<int>(a.x); x <= static_cast<int>(b.x); ++x) count += frame.at(x, y) == stored(white);
            }
            return count;
        };
        EXPECT_EQ(whiteIn(wireStart - 0.9f, wireStart - 0.1f), 0) << lines;  // the gap
        EXPECT_GT(whiteIn(wireStart - 3.0f, wireStart - 1.0f), 20) << lines;  // the title's last letters
        EXPECT_GT(whiteIn(wireStart + 0.1f, wireStart + 3.0f), 20) << lines;  // the wireframe line's first
    }
}

// Bodies beyond the seventh are drawn too, in the colours again, and every
// body at its own size: a box of edges 4, 1 and 2 and a ball of radius 0.5.
TEST_F(Rendering, EveryBodyIsDrawnAtItsSizeInTheColoursAgain) {
    BodyDef box;
    box.kind = kindBox;
    box.length = 4.0f;
    box.width = 1.0f;
    box.height = 2.0f;
    box.mass = 1.0f;
    box.position = {8.0, 6.0, 1.0};
    BodyDef ball;
    ball.kind = kindSphere;
    ball.radius = 0.5f;
    ball.mass = 1.0f;
    ball.position = {-8.0, -6.0, 0.5};
    world->appendBody(makeBody(box));   // body 7: row 0, yellow
    world->appendBody(makeBody(ball));  // body 8: row 1, red
    const Frame frame = drawAndRead();

    const auto seen = [&](double x, double y, double z, const float* colour) {
        const WindowPoint p = projectWorld(x, y, z);
        return looksLike(frame.at(static_cast<int>(p.x), static_cast<int>(p.y)), colour);
    };
    // The box's top face at z = 2 reaches 2 along x and 0.5 along y.
    for (const double x : {6.2, 9.8}) EXPECT_TRUE(seen(x, 6.0, 2.0, bodyColours[0])) << x;
    for (const double y : {5.6, 6.4}) EXPECT_TRUE(seen(8.0, y, 2.0, bodyColours[0])) << y;
    for (const double x : {5.6, 10.4}) EXPECT_FALSE(seen(x, 6.0, 2.0, bodyColours[0])) << x;
    for (const double y : {5.2, 6.8}) EXPECT_FALSE(seen(8.0, y, 2.0, bodyColours[0])) << y;
    // The ball: seen from above, a disc of radius 0.5.
    for (const double d : {-0.35, 0.35}) {
        EXPECT_TRUE(seen(-8.0 + d, -6.0, 0.5, bodyColours[1])) << d;
        EXPECT_TRUE(seen(-8.0, -6.0 + d, 0.5, bodyColours[1])) << d;
    }
    for (const double d : {-0.75, 0.75}) {
        EXPECT_FALSE(seen(-8.0 + d, -6.0, 0.5, bodyColours[1])) << d;
        EXPECT_FALSE(seen(-8.0, -6.0 + d, 0.5, bodyColours[1])) << d;
    }
}

// SDL's drop events become one message for the program when the drop
// completes, with the files dropped on the program's window.
TEST(SdlDrops, BecomeOneMessageWithTheFilesOfTheProgramsWindow) {
    ASSERT_NE(ProgramWindow::platform, nullptr);
    const Uint32 ours = SDL_GetWindowID(reinterpret_cast<SDL_Window*>(ProgramWindow::window.window));
    ASSERT_NE(ours, 0u);
    const Uint32 other = ours + 1000;
    struct DropEvent {
        Uint32 type;
        const char* file;
        Uint32 window;
    };
    const struct {
        const char* what;
        std::vector<DropEvent> events;  // between SDL_DROPBEGIN and SDL_DROPCOMPLETE
        std::vector<std::string> files;  // of the message; none: no message
    } rows[] = {
        {"one file", {{SDL_DROPFILE, "/tmp/Szenen/Kugel auf W\xC3\xBCrfel.json", ours}},
         {"/tmp/Szenen/Kugel auf W\xC3\xBCrfel.json"}},
        {"two files", {{SDL_DROPFILE, "/a.json", ours}, {SDL_DROPFILE, "/b.json", ours}}, {"/a.json", "/b.json"}},
        {"a file on another window", {{SDL_DROPFILE, "/other.json", other}, {SDL_DROPFILE, "/a.json", ours}},
         {"/a.json"}},
        {"text, no file", {{SDL_DROPTEXT, "some text", ours}}, {}},
        {"nothing", {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto push = [](Uint32 type, const char* file, Uint32 window) {
            SDL_Event e = {};
            e.type = type;
            e.drop.file = file != nullptr ? SDL_strdup(file) : nullptr;
            e.drop.windowID = window;
            ASSERT_EQ(SDL_PushEvent(&e), 1);
        };
        push(SDL_DROPBEGIN, nullptr, ours);
        for (const DropEvent& d : row.events) push(d.type, d.file, d.window);
        push(SDL_DROPCOMPLETE, nullptr, ours);
        std::vector<std::vector<std::string>> messages;
        PlatformEvent event;
        while (ProgramWindow::platform->peekEvent(event)) {
            if (event.kind == PlatformEvent::Kind::filesDropped) messages.push_back(event.files);
        }
        if (row.files.empty()) {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages, std::vector<std::vector<std::string>>{row.files});
        }
    }
}

// A face with one letter: A, a square 0.75 em wide.
class OneLetterPlatform : public FakePlatform {
public:
    std::unique_ptr<GlyphSource> openGlyphSource() override {
        FakePlatform::openGlyphSource();  // counted
        class OneLetter final : public GlyphSource {
        public:
            GlyphOutline loadGlyph(char32_t character, double) const override {
                if (character != U'A') return {};
                GlyphOutline glyph;
                glyph.contours = {{{0.0, 0.0}, {0.5, 0.0}, {0.5, 0.5}, {0.0, 0.5}}};
                glyph.fill = fillContours(glyph.contours);
                glyph.advance = 0.75f;
                return glyph;
            }
        };
        return std::make_unique<OneLetter>();
    }
};

// Each window's letters are its platform's, asked for once per window.
TEST_F(Rendering, InitGraphicsTakesTheLettersFromTheWindowsPlatform) {
    OneLetterPlatform letters;
    Platform* const own = ProgramWindow::application.platform;
    ProgramWindow::application.platform = &letters;
    initGraphics(window, keyDown);
    ProgramWindow::application.platform = own;
    const float advanceA = glyphMetrics['A'].advance;
    const float advanceB = glyphMetrics['B'].advance;
    initGraphics(window, keyDown);  // the program's own letters again

    EXPECT_EQ(letters.glyphSourcesOpened, 1);
    EXPECT_EQ(advanceA, 0.75f);
    EXPECT_EQ(advanceB, 0.0f);
    EXPECT_GT(glyphMetrics['B'].advance, 0.0f);
    EXPECT_NE(glyphMetrics['A'].advance, 0.75f);
}

TEST_F(Rendering, WithoutAFaceTheHudHasPanelsButNoLetters) {
    buildFontFrom(OutlineFace{});
    const Frame frame = drawAndRead();
    buildFontFrom(*window.application->platform->openGlyphSource());
    const Rgb whitePixel = stored(white);
    int whitePixels = 0;
    for (int y = 0; y < viewHeight; ++y) {
        for (int x = 0; x < viewWidth; ++x) whitePixels += frame.at(x, y) == whitePixel;
    }
    EXPECT_EQ(whitePixels, 0);
    const int topRow = static_cast<int>(project(0.0, topPanelBottom, panelDepth).y) + 4;
    EXPECT_TRUE(isGrey(frame.at(static_cast<int>(projectWorld(0.5, 0.0, 0.0).x), topRow), 64));
}

TEST_F(Rendering, ShutdownDeletesTheFontAndReleasesTheWorldOnlyAtTheEnd) {
    GravityWorld* const programWorld = world;
    CountingWorld* const counted = new CountingWorld;
    world = counted;
    destroyedWorlds = 0;

    const GLuint lists = fontListBase;
    ASSERT_TRUE(glIsList(lists + 'A'));
    running = 1;  // a screen-mode change: the window goes, the program stays
    shutdownGraphics();
    EXPECT_EQ(fontListBase, 0u);
    EXPECT_FALSE(glIsList(lists + 'A'));
    EXPECT_EQ(world, counted);
    EXPECT_EQ(destroyedWorlds, 0);

    initGraphics(window, keyDown);
    running = 0;  // the program ends
    shutdownGraphics();
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(destroyedWorlds, 1);

    world = programWorld;
    running = 1;
    initGraphics(window, keyDown);
}

}  // namespace
