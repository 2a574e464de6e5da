// The OpenGL 1.1 subset over a backend that records what it is asked to
// draw. Mesa's GLU runs over it too: its calls land in the subset's gl*
// functions, so GLU's own sphere and perspective are the reference for ours.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cstring>
#include <tuple>
#include <vector>

#include "gl11/context.h"
#include "gl11/glu_shapes.h"

namespace {

using gl11::Topology;
using gl11::Vertex;

struct Draw {
    gl11::DrawState state;
    Topology topology;
    std::vector<Vertex> vertices;  // as drawn: for a stored run, the run's vertices in index order
    bool stored = false;
    bool indexed = false;  // a stored run drawn through indices rather than whole and in order
};

struct Clear {
    bool colour;
    bool depth;
    gl11::Vec4 rgba;
};

class RecordingBackend final : public gl11::DrawBackend {
public:
    std::vector<Draw> draws;
    std::vector<std::vector<Vertex>> stores;
    std::vector<std::array<int, 4>> viewports;
    std::vector<Clear> clears;
    int releases = 0;

    void viewport(int x, int y, int width, int height) override { viewports.push_back({x, y, width, height}); }
    void clear(bool colour, bool depth, const gl11::Vec4& rgba) override { clears.push_back({colour, depth, rgba}); }
    void draw(const gl11::DrawState& state, Topology topology, const Vertex* v, std::size_t count) override {
        draws.push_back({state, topology, {v, v + count}, false});
    }
    gl11::StoredRun store(const Vertex* v, std::size_t count) override {
        stores.emplace_back(v, v + count);
        return {static_cast<std::uint32_t>(stores.size() - 1), 0, static_cast<std::uint32_t>(count)};
    }
    void drawStored(const gl11::DrawState& state, Topology topology, const gl11::StoredRun& run,
                    const std::uint32_t* indices, std::size_t indexCount) override {
        const auto& all = stores.at(run.store);
        Draw d{state, topology, {}, true, indices != nullptr};
        if (indices == nullptr) {
            d.vertices.assign(all.begin() + run.first, all.begin() + run.first + run.count);
        } else {
            for (std::size_t i = 0; i < indexCount; ++i) d.vertices.push_back(all.at(run.first + indices[i]));
        }
        draws.push_back(d);
    }
    void release(const gl11::StoredRun&) override { ++releases; }
    void flush() override {}
};

// A fresh context over a fresh recorder, current for the gl* functions.
class Gl11 : public ::testing::Test {
protected:
    RecordingBackend backend;
    gl11::Context context{backend};
    void SetUp() override { gl11::makeCurrent(&context); }
    void TearDown() override { gl11::makeCurrent(nullptr); }
};

// One triangle, a unit right angle at the origin in the plane z = 0.
void unitTriangle() {
    glBegin(GL_TRIANGLES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
}

// Compiles list `name`: one point at x = name, so a replay shows which
// list ran.
void pointList(GLuint name) {
    glNewList(name, GL_COMPILE);
    glBegin(GL_POINTS);
    glVertex3f(static_cast<float>(name), 0.0f, 0.0f);
    glEnd();
    glEndList();
}

bool sameBytes(const std::vector<Vertex>& a, const std::vector<Vertex>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(Vertex)) == 0;
}

std::vector<float> positions(const Draw& d) {
    std::vector<float> out;
    for (const Vertex& v : d.vertices) out.insert(out.end(), v.position, v.position + 3);
    return out;
}

TEST(PrimitiveAssembly, EveryModeDrawsItsVerticesAsOpenGLDoes) {
    struct Case {
        GLenum mode;
        std::uint32_t count;
        GLenum polygonMode;
        bool flat;
        Topology topology;
        std::vector<std::uint32_t> indices;
    };
    const Case cases[] = {
        {GL_POINTS, 3, GL_FILL, false, Topology::points, {0, 1, 2}},
        {GL_LINES, 5, GL_FILL, false, Topology::lines, {0, 1, 2, 3}},
        {GL_LINE_STRIP, 3, GL_FILL, false, Topology::lines, {0, 1, 1, 2}},
        {GL_LINE_LOOP, 3, GL_LINE, false, Topology::lines, {0, 1, 1, 2, 2, 0}},
        {GL_TRIANGLES, 7, GL_FILL, false, Topology::triangles, {0, 1, 2, 3, 4, 5}},
        // Every other strip triangle turns round to keep the winding.
        {GL_TRIANGLE_STRIP, 5, GL_FILL, false, Topology::triangles, {0, 1, 2, 2, 1, 3, 2, 3, 4}},
        {GL_TRIANGLE_FAN, 5, GL_FILL, false, Topology::triangles, {0, 1, 2, 0, 2, 3, 0, 3, 4}},
        // A smooth quad is cut from its second to its fourth corner ...
        {GL_QUADS, 4, GL_FILL, false, Topology::triangles, {0, 1, 3, 1, 2, 3}},
        {GL_QUAD_STRIP, 6, GL_FILL, false, Topology::triangles, {0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4}},
        // ... a flat one around its provoking corner, the last of each triangle.
        {GL_QUAD_STRIP, 4, GL_FILL, true, Topology::triangles, {2, 0, 3, 0, 1, 3}},
        {GL_POLYGON, 5, GL_FILL, true, Topology::triangles, {1, 2, 0, 2, 3, 0, 3, 4, 0}},
        {GL_TRIANGLE_STRIP, 2, GL_FILL, false, Topology::triangles, {}},
        // Outlines: every edge of every polygon, but no quad's diagonal.
        {GL_QUAD_STRIP, 6, GL_LINE, false, Topology::lines, {0, 1, 1, 3, 3, 2, 2, 0, 2, 3, 3, 5, 5, 4, 4, 2}},
        {GL_TRIANGLE_FAN, 4, GL_LINE, false, Topology::lines, {0, 1, 1, 2, 2, 0, 0, 2, 2, 3, 3, 0}},
        {GL_POLYGON, 4, GL_LINE, false, Topology::lines, {0, 1, 1, 2, 2, 3, 3, 0}},
        {GL_POLYGON, 4, GL_POINT, false, Topology::points, {0, 1, 2, 3}},
        {GL_TRIANGLES, 3, GL_POINT, false, Topology::points, {0, 1, 2}},
        // A loop of two vertices goes there and back; one vertex is no line.
        {GL_LINE_LOOP, 2, GL_FILL, false, Topology::lines, {0, 1, 1, 0}},
        {GL_LINE_LOOP, 1, GL_FILL, false, Topology::lines, {}},
    };
    // The ten modes of glBegin, six of them polygons; nothing past them.
    const struct {
        GLenum mode;
        bool primitive, polygon;
    } modes[] = {{GL_POINTS, true, false},        {GL_LINES, true, false},       {GL_LINE_LOOP, true, false},
                 {GL_LINE_STRIP, true, false},    {GL_TRIANGLES, true, true},    {GL_TRIANGLE_STRIP, true, true},
                 {GL_TRIANGLE_FAN, true, true},   {GL_QUADS, true, true},        {GL_QUAD_STRIP, true, true},
                 {GL_POLYGON, true, true},        {GL_POLYGON + 1, false, false}, {0xFFFFu, false, false}};
    for (const auto& m : modes) {
        EXPECT_EQ(gl11::isPrimitiveMode(m.mode), m.primitive) << m.mode;
        EXPECT_EQ(gl11::isPolygonMode(m.mode), m.polygon) << m.mode;
    }
    for (const Case& c : cases) {
        std::vector<std::uint32_t> out;
        const Topology t = gl11::assemblePrimitive(c.mode, c.count, c.polygonMode, c.flat, out);
        EXPECT_EQ(t, c.topology) << "mode " << c.mode << " polygon mode " << c.polygonMode;
        EXPECT_EQ(out, c.indices) << "mode " << c.mode << " polygon mode " << c.polygonMode << " flat " << c.flat;
    }
}

TEST_F(Gl11, SphereAndPerspectiveAreGlusOwn) {
    // Mesa's GLU draws through this context as it would through OpenGL.
    GLUquadric* quadric = gluNewQuadric();
    ASSERT_NE(quadric, nullptr);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    for (const GLenum polygonMode : {GL_FILL, GL_LINE}) {
        glPolygonMode(GL_FRONT_AND_BACK, polygonMode);
        for (const double radius : {0.5, 1.7320508}) {
            backend.draws.clear();
            gluSphere(quadric, radius, 12, 12);
            glFlush();
            const std::vector<Draw> glus = backend.draws;
            backend.draws.clear();
            gl11::drawSphere(context, radius, 12, 12, true);
            glFlush();
            ASSERT_EQ(glus.size(), 1u) << "a sphere's fans and strips share one draw";
            ASSERT_EQ(backend.draws.size(), 1u);
            EXPECT_EQ(glus[0].topology, polygonMode == GL_FILL ? Topology::triangles : Topology::lines);
            EXPECT_EQ(glus[0].vertices.size(), polygonMode == GL_FILL ? 12u * 12u * 6u - 2u * 12u * 3u
                                                                      : 12u * 2u * 6u + 12u * 10u * 8u);
            EXPECT_TRUE(sameBytes(glus[0].vertices, backend.draws[0].vertices))
                << "radius " << radius << " polygon mode " << polygonMode;
        }
    }
    gluDeleteQuadric(quadric);

    // No sphere without two slices, one stack and a radius of 0 or more.
    for (const auto& [radius, slices, stacks] : {std::tuple{1.0, 1, 12}, std::tuple{1.0, 12, 0}, std::tuple{-0.5, 12, 12}}) {
        backend.draws.clear();
        gl11::drawSphere(context, radius, slices, stacks, true);
        glFlush();
        EXPECT_TRUE(backend.draws.empty()) << radius << " " << slices << " " << stacks;
    }

    const double cases[][4] = {{45.0, 1024.0 / 768.0, 1.0, 100.0}, {60.0, 0.5, 0.25, 7.0}, {45.0, 1.0, 5.0, 5.0}};
    for (const auto& c : cases) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(c[0], c[1], c[2], c[3]);
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glEnd();
        glLoadIdentity();
        double m[16];
        std::fill(std::begin(m), std::end(m), 7.0);  // whatever the caller's matrix held before
        if (gl11::perspectiveMatrix(c[0], c[1], c[2], c[3], m)) glMultMatrixd(m);
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glEnd();
        glFlush();
        ASSERT_GE(backend.draws.size(), 2u);
        const auto& glus = backend.draws[backend.draws.size() - 2].state.projection;
        const auto& ours = backend.draws.back().state.projection;
        EXPECT_EQ(glus, ours) << "fovy " << c[0] << " aspect " << c[1];
    }
}

TEST_F(Gl11, ImmediateModeGathersPrimitivesUntilTheStateChanges) {
    glBegin(GL_TRIANGLES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
    glColor3f(0.0f, 1.0f, 0.0f);  // a vertex colour: no new draw
    glBegin(GL_TRIANGLE_STRIP);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glVertex3f(1.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 1.0f, 1.0f);
    glEnd();
    glTranslatef(0.0f, 0.0f, 5.0f);  // a new matrix: the gathered vertices are drawn first
    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glEnd();
    glFlush();

    ASSERT_EQ(backend.draws.size(), 2u);
    EXPECT_EQ(backend.draws[0].topology, Topology::triangles);
    ASSERT_EQ(backend.draws[0].vertices.size(), 6u);
    EXPECT_EQ(backend.draws[0].vertices[0].colour[0], 1.0f);
    EXPECT_EQ(backend.draws[0].vertices[3].colour[1], 1.0f);
    EXPECT_EQ(backend.draws[0].state.modelview[14], 0.0f);
    EXPECT_EQ(backend.draws[1].topology, Topology::lines);
    EXPECT_EQ(backend.draws[1].state.modelview[14], 5.0f);
}

TEST_F(Gl11, LightsAndColourMaterialKeepOpenGLsMeaning) {
    // Taken through the modelview matrix of the moment: turned a quarter
    // round z (x to y), then moved.
    const GLfloat position[] = {4.0f, 5.0f, 6.0f, 1.0f};
    const GLfloat quarterTurn[16] = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMultMatrixf(quarterTurn);
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glLoadIdentity();
    glEnable(GL_LIGHT1);

    const GLfloat red[] = {1.0f, 0.0f, 0.0f, 0.5f};
    glColor4fv(red);
    glEnable(GL_COLOR_MATERIAL);  // the material follows the current colour from now on ...
    glColor3ub(0, 255, 0);
    glDisable(GL_COLOR_MATERIAL);  // ... and keeps the last one after
    const gl11::DrawState& s = context.drawState();
    EXPECT_EQ(s.lights[1].position, (gl11::Vec4{-4.0f, 6.0f, 9.0f, 1.0f}));
    EXPECT_TRUE(s.lights[1].enabled);
    EXPECT_FALSE(s.lights[0].enabled);
    const gl11::Vec4 white{1.0f, 1.0f, 1.0f, 1.0f}, black{0.0f, 0.0f, 0.0f, 1.0f};
    EXPECT_EQ(s.lights[0].diffuse, white) << "light 0 starts white";
    EXPECT_EQ(s.lights[0].specular, white);
    EXPECT_EQ(s.lights[1].diffuse, black) << "other lights start black";
    EXPECT_EQ(s.lights[1].specular, black);
    EXPECT_EQ(s.material.diffuse, (gl11::Vec4{0.0f, 1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(s.material.ambient, (gl11::Vec4{0.0f, 1.0f, 0.0f, 1.0f}));
}

// The letters' case: lists of triangles with their own normals that end by
// moving the origin, called in a row over a base with the caller's colour.
TEST_F(Gl11, ListsKeepTheirVerticesOnceAndReplayThemWithTheCallersState) {
    // Two empty lists first, so that the list base is not 0 and a call that
    // left it out would name other lists.
    ASSERT_EQ(glGenLists(2), 1u);
    const GLuint base = glGenLists(3);
    ASSERT_EQ(base, 3u);
    for (GLuint i = 0; i < 3; ++i) {
        glNewList(base + i, GL_COMPILE);
        glBegin(GL_TRIANGLES);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(static_cast<float>(i + 1), 0.0f, 0.0f);
        glVertex3f(0.0f, 1.0f, 0.0f);
        glEnd();
        glTranslatef(0.5f, 0.0f, 0.0f);
        glEndList();
    }
    EXPECT_EQ(backend.stores.size(), 3u) << "each list's vertices are kept when it is compiled";
    EXPECT_TRUE(backend.draws.empty()) << "compiling draws nothing";

    const GLfloat blue[] = {0.0f, 0.0f, 1.0f, 1.0f};
    glColor4fv(blue);
    glPushAttrib(GL_LIST_BIT);
    glListBase(base - 1);
    const GLubyte text[] = {3, 1, 2, 9};  // 9 names no list and draws nothing
    glCallLists(4, GL_UNSIGNED_BYTE, text);
    glPopAttrib();
    glTranslatef(-1.5f, 0.0f, 0.0f);
    glCallList(base);  // the base is back to 0: names are absolute again
    glFlush();

    ASSERT_EQ(backend.draws.size(), 4u);
    const float widths[] = {3.0f, 1.0f, 2.0f, 1.0f};
    const float origins[] = {0.0f, 0.5f, 1.0f, 0.0f};
    for (std::size_t k = 0; k < backend.draws.size(); ++k) {
        const Draw& d = backend.draws[k];
        EXPECT_TRUE(d.stored);
        EXPECT_EQ(positions(d)[3], widths[k]) << "draw " << k;
        EXPECT_EQ(d.state.modelview[12], origins[k]) << "draw " << k << " after the lists moved the origin";
        EXPECT_TRUE(d.state.vertexNormals);
        EXPECT_FALSE(d.state.vertexColours) << "the lists set no colour: the caller's holds";
        EXPECT_EQ(d.state.colour, (gl11::Vec4{0.0f, 0.0f, 1.0f, 1.0f}));
    }

    // In outline mode the same list draws its triangle's edges.
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glCallList(base + 2);
    glFlush();
    ASSERT_EQ(backend.draws.size(), 5u);
    EXPECT_EQ(backend.draws.back().topology, Topology::lines);
    EXPECT_EQ(backend.draws.back().vertices.size(), 6u);

    glDeleteLists(base, 3);
    EXPECT_EQ(backend.releases, 3);
    EXPECT_EQ(glGenLists(1), base) << "deleted names are free again";
    EXPECT_EQ(glGenLists(0), 0u) << "no names asked for: none given";
    EXPECT_EQ(glGenLists(-1), 0u);
    glNewList(base, GL_COMPILE);
    EXPECT_EQ(glGenLists(1), 0u) << "not while compiling";
    glEndList();
}

// The font deletes its 256 lists by their range: a list the caller made
// right after them, or one a range of none names, is not the font's to take.
TEST_F(Gl11, DeletingListsTakesTheirRangeAndNoListBeyondIt) {
    ASSERT_EQ(glGenLists(3), 1u);
    ASSERT_EQ(glGenLists(1), 4u);
    for (GLuint name = 1; name <= 4; ++name) pointList(name);
    // The x of every point that lists 1 to 4 draw now: each list's name.
    const auto namesDrawn = [this] {
        backend.draws.clear();
        for (GLuint name = 1; name <= 4; ++name) glCallList(name);
        glFlush();
        std::vector<float> names;
        for (const Draw& d : backend.draws) names.push_back(d.vertices.at(0).position[0]);
        return names;
    };
    ASSERT_EQ(namesDrawn(), (std::vector<float>{1.0f, 2.0f, 3.0f, 4.0f}));

    glDeleteLists(1, 3);
    EXPECT_EQ(backend.releases, 3);
    EXPECT_EQ(namesDrawn(), (std::vector<float>{4.0f})) << "the list after the range stays";
    glDeleteLists(4, 0);
    EXPECT_EQ(backend.releases, 3);
    EXPECT_EQ(namesDrawn(), (std::vector<float>{4.0f})) << "a range of none deletes nothing";
    glDeleteLists(4, 1);
    EXPECT_EQ(backend.releases, 4);
    EXPECT_TRUE(namesDrawn().empty());
}

TEST_F(Gl11, CompilingAListLeavesTheCurrentNormalAndColourAsTheyWere) {
    glColor3f(0.0f, 1.0f, 0.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glColor3f(1.0f, 0.0f, 0.0f);
    glNormal3f(1.0f, 0.0f, 0.0f);
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glEndList();
    glBegin(GL_POINTS);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glFlush();

    ASSERT_EQ(backend.draws.size(), 1u) << "compiling draws nothing";
    ASSERT_EQ(backend.draws[0].vertices.size(), 1u);
    const Vertex& v = backend.draws[0].vertices[0];
    EXPECT_EQ(v.colour[0], 0.0f) << "the colour of before glNewList";
    EXPECT_EQ(v.colour[1], 1.0f);
    EXPECT_EQ(v.normal[0], 0.0f) << "the normal of before glNewList";
    EXPECT_EQ(v.normal[1], 1.0f);
}

// What one list set is no part of the next: a list that sets no normal or
// colour takes the caller's, though the list compiled before it set its own.
TEST_F(Gl11, AListTakesTheCallersNormalAndColourThoughTheListBeforeItSetItsOwn) {
    const GLuint first = glGenLists(2);
    glNewList(first, GL_COMPILE);
    glColor3f(1.0f, 0.0f, 0.0f);
    glNormal3f(1.0f, 0.0f, 0.0f);
    glEndList();
    pointList(first + 1);
    glColor3f(0.0f, 0.0f, 1.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glCallList(first + 1);
    glFlush();

    ASSERT_EQ(backend.draws.size(), 1u);
    const gl11::DrawState& s = backend.draws[0].state;
    EXPECT_FALSE(s.vertexColours) << "the list set no colour";
    EXPECT_EQ(s.colour, (gl11::Vec4{0.0f, 0.0f, 1.0f, 1.0f}));
    EXPECT_FALSE(s.vertexNormals) << "the list set no normal";
    EXPECT_EQ(s.normal[1], 1.0f);
}

TEST_F(Gl11, ListVerticesBeforeTheListsFirstNormalTakeTheCallersNormal) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glNormal3f(1.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
    glEndList();
    glNormal3f(0.0f, 1.0f, 0.0f);
    glCallList(list);
    glBegin(GL_POINTS);  // the list left its last normal current
    glVertex3f(0.0f, 0.0f, 0.0f);
    glEnd();
    glFlush();

    ASSERT_EQ(backend.draws.size(), 2u);
    const auto& v = backend.draws[0].vertices;
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].normal[1], 1.0f) << "the caller's normal";
    EXPECT_EQ(v[1].normal[0], 1.0f) << "the list's normal";
    EXPECT_EQ(backend.draws[1].vertices[0].normal[0], 1.0f);
}

// Every change of the state a draw uses ends the vertices gathered before it:
// they are drawn with the state they were given in, and what comes after,
// given in immediate mode or replayed from a list, with the new one. Each row
// sets a state up, draws a polygon directly and from a list, changes the
// state, and draws both again: a list replays as the same vertices would be
// drawn directly in the state of the moment (a flat polygon is fanned from
// another corner than a smooth one).
TEST_F(Gl11, AStateChangeDrawsWhatWasGatheredBeforeIt) {
    struct Row {
        const char* what;
        void (*setUp)();
        void (*change)();
        bool (*isNew)(const gl11::DrawState&);
    };
    const Row rows[] = {
        {"the pop of a pushed matrix", [] { glPushMatrix(); glTranslatef(0.0f, 0.0f, 5.0f); }, [] { glPopMatrix(); },
         [](const gl11::DrawState& s) { return s.modelview[14] == 0.0f; }},
        {"a pushed matrix multiplied",
         [] { glPushMatrix(); },
         [] {
             const GLfloat twice[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
             glMultMatrixf(twice);
         },
         [](const gl11::DrawState& s) { return s.modelview[0] == 2.0f; }},
        {"the shade model", [] {}, [] { glShadeModel(GL_FLAT); }, [](const gl11::DrawState& s) { return s.flat; }},
        {"lighting", [] {}, [] { glEnable(GL_LIGHTING); }, [](const gl11::DrawState& s) { return s.lighting; }},
        {"blending", [] {}, [] { glEnable(GL_BLEND); }, [](const gl11::DrawState& s) { return s.blend; }},
        {"the depth test", [] {}, [] { glEnable(GL_DEPTH_TEST); }, [](const gl11::DrawState& s) { return s.depthTest; }},
        {"a light's colour", [] {},
         [] {
             const GLfloat grey[] = {0.5f, 0.5f, 0.5f, 1.0f};
             glLightfv(GL_LIGHT1, GL_DIFFUSE, grey);
         },
         [](const gl11::DrawState& s) { return s.lights[1].diffuse[0] == 0.5f; }},
        {"the scene's ambient light", [] {},
         [] {
             const GLfloat none[] = {0.0f, 0.0f, 0.0f, 1.0f};
             glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
         },
         [](const gl11::DrawState& s) { return s.sceneAmbient[0] == 0.0f; }},
        {"a material", [] {},
         [] {
             const GLfloat red[] = {1.0f, 0.0f, 0.0f, 1.0f};
             glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
         },
         [](const gl11::DrawState& s) { return s.material.diffuse[1] == 0.0f; }},
        {"the point size", [] {}, [] { glPointSize(3.0f); }, [](const gl11::DrawState& s) { return s.pointSize == 3.0f; }},
        {"the depth function", [] {}, [] { glDepthFunc(GL_LEQUAL); },
         [](const gl11::DrawState& s) { return s.depthFunc == GL_LEQUAL; }},
        {"the blend function", [] {}, [] { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); },
         [](const gl11::DrawState& s) { return s.blendSource == GL_SRC_ALPHA; }},
        {"culling", [] {}, [] { glEnable(GL_CULL_FACE); }, [](const gl11::DrawState& s) { return s.cullBackFaces; }},
        {"colour tracking", [] {}, [] { glEnable(GL_COLOR_MATERIAL); },
         [](const gl11::DrawState& s) { return s.colourMaterial; }},
        {"normalising", [] {}, [] { glEnable(GL_NORMALIZE); }, [](const gl11::DrawState& s) { return s.normalize; }},
        {"the projection", [] {}, [] { glMatrixMode(GL_PROJECTION); glTranslatef(0.0f, 2.0f, 0.0f); },
         [](const gl11::DrawState& s) { return s.projection[13] == 2.0f; }},
    };
    auto polygon = [] {
        glBegin(GL_POLYGON);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glVertex3f(1.0f, 0.0f, 0.0f);
        glVertex3f(1.0f, 1.0f, 0.0f);
        glVertex3f(0.0f, 1.0f, 0.0f);
        glEnd();
    };
    for (const Row& row : rows) {
        RecordingBackend fresh;
        gl11::Context c{fresh};
        gl11::makeCurrent(&c);
        const GLuint list = glGenLists(1);
        glNewList(list, GL_COMPILE);
        polygon();
        glEndList();
        row.setUp();
        glCallList(list);
        polygon();  // gathered, not yet drawn when the state changes
        row.change();
        glCallList(list);
        polygon();
        glFlush();
        ASSERT_EQ(fresh.draws.size(), 4u) << row.what;
        const char* names[] = {"replayed before the change", "drawn before it", "replayed after it", "drawn after it"};
        for (std::size_t k = 0; k < 4; ++k) {
            EXPECT_EQ(fresh.draws[k].stored, k % 2 == 0) << row.what << ", " << names[k];
            EXPECT_EQ(row.isNew(fresh.draws[k].state), k >= 2) << row.what << ", " << names[k];
            EXPECT_EQ(positions(fresh.draws[k]), positions(fresh.draws[k & ~std::size_t{1}]))
                << row.what << ", " << names[k];
        }
    }
    gl11::makeCurrent(&context);
}

}  // namespace

namespace {

// What a probe sees of a context: numbers that a command may change, read
// through the gl* functions and the backend's records.
using Probe = std::vector<double> (*)(RecordingBackend&);

// The matrices and the primitive that a point drawn now gets.
std::vector<double> pointDrawn(RecordingBackend& backend) {
    unitTriangle();
    glFlush();
    const Draw& d = backend.draws.back();
    std::vector<double> seen(d.state.modelview.begin(), d.state.modelview.end());
    seen.insert(seen.end(), d.state.projection.begin(), d.state.projection.end());
    seen.push_back(static_cast<double>(d.topology));
    seen.push_back(static_cast<double>(d.vertices.size()));
    return seen;
}

// The fixed-function state as the next draw would use it.
std::vector<double> stateNow(RecordingBackend&) {
    const gl11::DrawState& s = gl11::currentContext()->drawState();
    const auto on = [](bool b) { return b ? 1.0 : 0.0; };
    return {on(s.lighting), on(s.flat), on(s.depthTest), on(s.blend), on(s.cullBackFaces),
            static_cast<double>(s.depthFunc), static_cast<double>(s.blendSource), s.pointSize,
            s.material.shininess, s.material.diffuse[0], s.sceneAmbient[0], s.lights[1].diffuse[0],
            s.lights[1].position[0]};
}

std::vector<double> backendCalls(RecordingBackend& backend) {
    glFlush();
    return {static_cast<double>(backend.clears.size()), static_cast<double>(backend.viewports.size()),
            static_cast<double>(backend.draws.size())};
}

// Which of lists 1 to 9 glCallLists names with code 0: each draws one point
// at x = its name.
std::vector<double> listNamed(RecordingBackend& backend) {
    const GLubyte code = 0;
    glCallLists(1, GL_UNSIGNED_BYTE, &code);
    glFlush();
    return {backend.draws.empty() ? 0.0 : static_cast<double>(backend.draws.back().vertices.at(0).position[0])};
}

// A list keeps every command between glNewList and glEndList for later:
// compiling it changes nothing a caller can see, calling it does what the
// commands would have done then. Each row sets a context up, records its
// commands into a list, and compares what the probe sees after compiling
// (as before), after calling (changed) and after the commands given
// directly in a context set up alike (the same).
TEST(Gl11Lists, CompilingCarriesNothingOutAndCallingCarriesOutWhatTheCommandsDo) {
    struct Row {
        const char* what;
        void (*setUp)();
        void (*commands)();
        Probe probe;
    };
    const Row rows[] = {
        {"a translation", [] {}, [] { glTranslatef(1.0f, 2.0f, 3.0f); }, pointDrawn},
        {"the identity loaded", [] { glTranslatef(1.0f, 2.0f, 3.0f); }, [] { glLoadIdentity(); }, pointDrawn},
        {"a matrix multiplied", [] {},
         [] {
             const GLfloat twice[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1};
             glMultMatrixf(twice);
         },
         pointDrawn},
        {"a pushed matrix popped", [] { glPushMatrix(); glTranslatef(1.0f, 0.0f, 0.0f); }, [] { glPopMatrix(); },
         pointDrawn},
        {"a push, then a move", [] {}, [] { glPushMatrix(); glTranslatef(0.0f, 0.0f, 4.0f); }, pointDrawn},
        {"the projection moved", [] {}, [] { glMatrixMode(GL_PROJECTION); glTranslatef(0.0f, 2.0f, 0.0f); },
         pointDrawn},
        {"outlines", [] {}, [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); }, pointDrawn},
        {"a clear", [] {}, [] { glClear(GL_COLOR_BUFFER_BIT); }, backendCalls},
        {"a viewport", [] {}, [] { glViewport(0, 0, 640, 480); }, backendCalls},
        {"a list called", [] {}, [] { glCallList(1); }, backendCalls},
        {"lighting", [] {}, [] { glEnable(GL_LIGHTING); }, stateNow},
        {"flat shading", [] {}, [] { glShadeModel(GL_FLAT); }, stateNow},
        {"the depth test off", [] { glEnable(GL_DEPTH_TEST); }, [] { glDisable(GL_DEPTH_TEST); }, stateNow},
        {"blending and its function", [] {},
         [] {
             glEnable(GL_BLEND);
             glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
         },
         stateNow},
        {"the depth function", [] {}, [] { glDepthFunc(GL_ALWAYS); }, stateNow},
        {"culling", [] {}, [] { glEnable(GL_CULL_FACE); }, stateNow},
        {"the point size", [] {}, [] { glPointSize(4.0f); }, stateNow},
        {"a material", [] {},
         [] {
             const GLfloat red[] = {1.0f, 0.0f, 0.0f, 1.0f};
             glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, red);
             glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 7.0f);
         },
         stateNow},
        {"a light", [] {},
         [] {
             const GLfloat grey[] = {0.5f, 0.5f, 0.5f, 1.0f};
             const GLfloat at[] = {3.0f, 0.0f, 0.0f, 1.0f};
             glLightfv(GL_LIGHT1, GL_DIFFUSE, grey);
             glLightfv(GL_LIGHT1, GL_POSITION, at);
         },
         stateNow},
        {"the scene's ambient light", [] {},
         [] {
             const GLfloat none[] = {0.0f, 0.0f, 0.0f, 1.0f};
             glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
         },
         stateNow},
        {"a list base", [] {}, [] { glListBase(4); }, listNamed},
        {"a list base pushed, then changed", [] { glListBase(5); }, [] { glPushAttrib(GL_LIST_BIT); glListBase(8); },
         listNamed},
        {"a list base popped", [] { glListBase(5); glPushAttrib(GL_LIST_BIT); glListBase(8); }, [] { glPopAttrib(); },
         listNamed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<double> seen[3];  // after compiling, after calling; and given directly
        std::vector<double> before;
        for (const bool direct : {false, true}) {
            RecordingBackend backend;
            gl11::Context context{backend};
            gl11::makeCurrent(&context);
            // Lists 1 to 9, each a point at x = its name, for listNamed and
            // for a list that calls one.
            ASSERT_EQ(glGenLists(9), 1u);
            for (GLuint name = 1; name <= 9; ++name) pointList(name);
            const GLuint list = glGenLists(1);
            row.setUp();
            if (direct) {
                row.commands();
                seen[2] = row.probe(backend);
            } else {
                before = row.probe(backend);
                glNewList(list, GL_COMPILE);
                row.commands();
                glEndList();
                seen[0] = row.probe(backend);
                glCallList(list);
                seen[1] = row.probe(backend);
            }
            gl11::makeCurrent(nullptr);
        }
        EXPECT_EQ(seen[0], before) << "compiling carried a command out";
        EXPECT_NE(seen[1], before) << "calling carried nothing out";
        EXPECT_EQ(seen[1], seen[2]) << "calling did other than the commands do";
    }
}

// OpenGL 1.1's stacks are at least 32 modelview and 2 projection matrices
// deep, which is what the subset keeps: a push beyond that and a pop of the
// last matrix change nothing (OpenGL's stack overflow and underflow).
TEST_F(Gl11, MatrixStacksStopAtTheirDepthAndTheirLastMatrix) {
    struct Row {
        GLenum mode;
        int depth;
    };
    for (const Row row : {Row{GL_MODELVIEW, 32}, Row{GL_PROJECTION, 2}}) {
        SCOPED_TRACE(row.mode == GL_MODELVIEW ? "modelview" : "projection");
        RecordingBackend fresh;
        gl11::Context c{fresh};
        gl11::makeCurrent(&c);
        glMatrixMode(row.mode);
        // Each level moves one unit further along x; the pushes past the
        // depth are ignored, so their moves add to the deepest matrix.
        for (int level = 1; level <= row.depth + 3; ++level) {
            glTranslatef(1.0f, 0.0f, 0.0f);
            glPushMatrix();
        }
        const auto x = [&] {
            glBegin(GL_POINTS);
            glVertex3f(0.0f, 0.0f, 0.0f);
            glEnd();
            glFlush();
            const Draw& d = fresh.draws.back();
            return (row.mode == GL_MODELVIEW ? d.state.modelview : d.state.projection)[12];
        };
        EXPECT_EQ(x(), static_cast<float>(row.depth + 3)) << "the deepest matrix took every move";
        glPopMatrix();
        EXPECT_EQ(x(), static_cast<float>(row.depth - 1)) << "one pop goes back to the matrix below the deepest";
        for (int pop = 0; pop < row.depth + 5; ++pop) glPopMatrix();
        EXPECT_EQ(x(), 1.0f) << "the last matrix stays";
        glLoadIdentity();
        EXPECT_EQ(x(), 0.0f);
    }
    gl11::makeCurrent(&context);
}

// A list of several glBegin/glEnd pairs, each with normals and colours of its
// own (or none), draws each pair with them; the caller's normal and colour
// go where the list set none. Afterwards the last normal and colour the list
// set are current, and the material follows the colour where it tracks it.
TEST_F(Gl11, ListsOfSeveralPairsKeepEachPairsNormalsAndColours) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_LINES);  // before the list sets either: the caller's
    glVertex3f(0.0f, 0.0f, 1.0f);
    glVertex3f(1.0f, 0.0f, 1.0f);
    glEnd();
    glBegin(GL_TRIANGLES);  // red, facing x
    glColor3f(1.0f, 0.0f, 0.0f);
    glNormal3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 0.0f);
    glVertex3f(0.0f, 1.0f, 0.0f);
    glEnd();
    glBegin(GL_TRIANGLES);  // the first corner as the pair before left it, then green, facing y
    glVertex3f(0.0f, 0.0f, 2.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glNormal3f(0.0f, 1.0f, 0.0f);
    glVertex3f(1.0f, 0.0f, 2.0f);
    glVertex3f(0.0f, 1.0f, 2.0f);
    glEnd();
    glEndList();

    glColor3f(0.0f, 0.0f, 1.0f);  // the caller's: blue, facing z
    glNormal3f(0.0f, 0.0f, 1.0f);
    glEnable(GL_COLOR_MATERIAL);
    glCallList(list);
    glBegin(GL_POINTS);  // after the list: its last colour and normal
    glVertex3f(0.0f, 0.0f, 3.0f);
    glEnd();
    glFlush();

    ASSERT_EQ(backend.draws.size(), 4u);
    const auto colourOf = [](const Draw& d, std::size_t k) {
        const float* c = d.state.vertexColours ? d.vertices.at(k).colour : d.state.colour.data();
        return std::vector<float>(c, c + 3);
    };
    const auto normalOf = [](const Draw& d, std::size_t k) {
        const float* n = d.state.vertexNormals ? d.vertices.at(k).normal : d.state.normal;
        return std::vector<float>(n, n + 3);
    };
    const std::vector<float> red{1, 0, 0}, green{0, 1, 0}, blue{0, 0, 1}, x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};
    const struct {
        std::size_t draw;
        std::size_t vertex;
        std::vector<float> colour;
        std::vector<float> normal;
    } rows[] = {
        {0, 0, blue, z}, {0, 1, blue, z},
        {1, 0, red, x}, {1, 2, red, x},
        {2, 0, red, x}, {2, 1, green, y}, {2, 2, green, y},
        {3, 0, green, y},
    };
    for (const auto& row : rows) {
        const Draw& d = backend.draws[row.draw];
        EXPECT_EQ(colourOf(d, row.vertex), row.colour) << "draw " << row.draw << " vertex " << row.vertex;
        EXPECT_EQ(normalOf(d, row.vertex), row.normal) << "draw " << row.draw << " vertex " << row.vertex;
    }
    EXPECT_EQ(backend.draws[0].topology, Topology::lines);
    EXPECT_EQ(backend.draws[1].topology, Topology::triangles);
    EXPECT_EQ(context.drawState().material.diffuse, (gl11::Vec4{0.0f, 1.0f, 0.0f, 1.0f}))
        << "the material tracks the colour the list left";
}

// A list's separate triangles are drawn as the run they were kept as; a
// strip, or quads with two corners left over (as many indices as vertices,
// the first of them 0), through the order their triangles need.
TEST_F(Gl11, ListsDrawRunsInOrderWholeAndOthersThroughIndices) {
    const GLuint list = glGenLists(3);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (int k = 0; k < 6; ++k) glVertex3f(static_cast<float>(k), static_cast<float>(k % 2), 0.0f);
    glEnd();
    glEndList();
    glNewList(list + 1, GL_COMPILE);
    glBegin(GL_TRIANGLE_STRIP);
    for (int k = 0; k < 4; ++k) glVertex3f(static_cast<float>(k), static_cast<float>(k % 2), 0.0f);
    glEnd();
    glEndList();
    glNewList(list + 2, GL_COMPILE);
    glBegin(GL_QUADS);
    for (int k = 0; k < 6; ++k) glVertex3f(static_cast<float>(k), 0.0f, 0.0f);
    glEnd();
    glEndList();
    glCallList(list);
    glCallList(list + 1);
    glCallList(list + 2);
    ASSERT_EQ(backend.draws.size(), 3u);
    EXPECT_FALSE(backend.draws[0].indexed);
    EXPECT_EQ(backend.draws[0].vertices.size(), 6u);
    EXPECT_TRUE(backend.draws[1].indexed);
    EXPECT_EQ(positions(backend.draws[1]),
              (std::vector<float>{0, 0, 0, 1, 1, 0, 2, 0, 0, 2, 0, 0, 1, 1, 0, 3, 1, 0}));
    EXPECT_EQ(positions(backend.draws[2]), (std::vector<float>{0, 0, 0, 1, 0, 0, 3, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0}));
}

// What OpenGL refuses changes nothing: a negative viewport, a shininess
// outside 0 to 128, a polygon mode for one side or of no mode, a light
// model value it does not keep.
TEST_F(Gl11, RefusedValuesChangeNothing) {
    glViewport(0, 0, 0, 0);
    glViewport(1, 2, -1, 5);
    glViewport(1, 2, 5, -1);
    glViewport(3, 4, 640, 480);
    ASSERT_EQ(backend.viewports.size(), 2u);
    EXPECT_EQ(backend.viewports[0], (std::array<int, 4>{0, 0, 0, 0}));
    EXPECT_EQ(backend.viewports[1], (std::array<int, 4>{3, 4, 640, 480}));

    const struct {
        float given;
        float kept;
    } shininess[] = {{0.5f, 0.5f}, {-1.0f, 0.5f}, {0.0f, 0.0f}, {128.0f, 128.0f}, {128.5f, 128.0f}, {1.0f, 1.0f}};
    for (const auto& row : shininess) {
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, row.given);
        EXPECT_EQ(context.drawState().material.shininess, row.kept) << row.given;
    }

    const GLfloat dark[] = {0.1f, 0.1f, 0.1f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_TWO_SIDE, dark);
    EXPECT_EQ(context.drawState().sceneAmbient, (gl11::Vec4{0.2f, 0.2f, 0.2f, 1.0f}));

    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_TRIANGLES);
    unitTriangle();
    glFlush();
    ASSERT_EQ(backend.draws.size(), 1u);
    EXPECT_EQ(backend.draws[0].topology, Topology::lines) << "still outlines";

    glClearColor(2.0f, -1.0f, 0.25f, 0.5f);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    ASSERT_EQ(backend.clears.size(), 2u);
    EXPECT_FALSE(backend.clears[0].colour);
    EXPECT_TRUE(backend.clears[0].depth);
    EXPECT_TRUE(backend.clears[1].colour);
    EXPECT_EQ(backend.clears[1].rgba, (gl11::Vec4{1.0f, 0.0f, 0.25f, 0.5f})) << "clamped to 0 .. 1";
}

}  // namespace
