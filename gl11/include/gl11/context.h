#pragma once

// The state machine of the OpenGL 1.1 subset (GL/gl.h): matrices, lights,
// materials, immediate mode and display lists, drawing through a
// DrawBackend. The gl* functions call the current context.
//
// Immediate mode gathers the vertices of consecutive glBegin/glEnd pairs
// that share their state into one draw. A display list keeps its vertices
// in the backend once, when it is compiled, and draws each of its primitives
// with one call when it is replayed.

#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "gl11/draw_backend.h"

namespace gl11 {

class Context {
public:
    explicit Context(DrawBackend& backend);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // The operations of GL/gl.h, with their OpenGL 1.1 meaning.
    void enable(GLenum cap, bool on);
    void depthFunc(GLenum func);
    void blendFunc(GLenum source, GLenum destination);
    void shadeModel(GLenum mode);
    void polygonMode(GLenum face, GLenum mode);
    void pointSize(float size);
    void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void clearColor(float r, float g, float b, float a);
    void clear(GLbitfield mask);
    void flush();

    void light(GLenum light, GLenum pname, const float* params);
    void lightModel(GLenum pname, const float* params);
    void material(GLenum face, GLenum pname, const float* params);

    void matrixMode(GLenum mode);
    void loadIdentity();
    void pushMatrix();
    void popMatrix();
    void translate(float x, float y, float z);
    void multMatrix(const Mat4& m);

    void begin(GLenum mode);
    void end();
    void vertex(float x, float y, float z);
    void normal(float x, float y, float z);
    void colour(float r, float g, float b, float a);

    GLuint genLists(GLsizei range);
    void deleteLists(GLuint list, GLsizei range);
    void newList(GLuint list, GLenum mode);
    void endList();
    void callList(GLuint list);
    void callLists(GLsizei n, GLenum type, const void* lists);
    void listBase(GLuint base);
    void pushAttrib(GLbitfield mask);
    void popAttrib();

    // The state that the next draw would use, for tests.
    const DrawState& drawState() const { return state_; }

    // Every vertex drawn from now on, as drawn, goes into frame (by
    // topology) in eye coordinates with the colour it is lit in or drawn
    // with: for a benchmark that draws the same vertices without this
    // layer. Null stops.
    struct CapturedVertex {
        float position[3];
        float normal[3];  // unit length where it was drawn lit
        float colour[4];  // the material's diffuse colour where lit
        float lit;        // 1 lit by light 1 as the program sets it, 0 unlit
        float switches;   // the sum of what was on: 1 the depth test, 2 blending, 4 back-face culling
    };
    using CapturedFrame = std::array<std::vector<CapturedVertex>, 3>;
    void capture(CapturedFrame* frame) { capture_ = frame; }

private:
    struct Primitive;
    struct List;
    using Command = std::function<void(Context&)>;

    // Inside glNewList: records the command for the list and returns true;
    // otherwise returns false and the caller carries it out.
    bool recorded(Command command);
    Mat4& currentMatrix();
    // Draws the gathered immediate-mode vertices before the state they were
    // given under changes.
    void changed();
    void emitPrimitive(GLenum mode, const std::vector<Vertex>& vertices);
    void submitBatch();
    void replay(const Primitive& primitive);
    void deleteList(std::map<GLuint, std::unique_ptr<List>>::iterator at);
    void captureDraw(Topology topology, const Vertex* vertices, const std::uint32_t* indices, std::size_t count);

    DrawBackend& backend_;
    DrawState state_;
    GLenum matrixMode_ = GL_MODELVIEW;
    std::vector<Mat4> modelviewStack_;
    std::vector<Mat4> projectionStack_;
    GLenum polygonMode_ = GL_FILL;
    Vec4 clearColour_{0.0f, 0.0f, 0.0f, 0.0f};
    float currentNormal_[3] = {0.0f, 0.0f, 1.0f};
    Vec4 currentColour_{1.0f, 1.0f, 1.0f, 1.0f};

    // glBegin .. glEnd
    bool inPrimitive_ = false;
    GLenum primitiveMode_ = GL_POINTS;
    std::vector<Vertex> primitiveVertices_;

    // Immediate-mode vertices not yet drawn, all of one topology. Every
    // change of the state they were given under draws them first.
    std::vector<Vertex> batch_;
    Topology batchTopology_ = Topology::triangles;
    std::vector<std::uint32_t> assembly_;

    // Display lists.
    std::map<GLuint, std::unique_ptr<List>> lists_;
    std::unique_ptr<List> compiling_;  // the list between glNewList and glEndList
    GLuint compilingName_ = 0;
    bool listSetNormal_ = false;       // the list being compiled has set the normal
    bool listSetColour_ = false;
    float savedNormal_[3] = {0.0f, 0.0f, 1.0f};  // current before glNewList, back after glEndList
    Vec4 savedColour_{1.0f, 1.0f, 1.0f, 1.0f};
    GLuint listBase_ = 0;
    std::vector<GLuint> listBaseStack_;
    int callDepth_ = 0;
    CapturedFrame* capture_ = nullptr;
};

// The context the gl* functions call; null for none, where they do nothing.
void makeCurrent(Context* context);
Context* currentContext();

}  // namespace gl11
