#pragma once

// The few OpenGL state changes that the window logic and the controls make,
// behind function pointers so that both run in tests without a GL context.
struct GlView {
    // Viewport (0, 0, width, height) in window pixels.
    void (*setViewport)(int width, int height);
    // Projection matrix = identity x perspective (vertical field of view in
    // degrees, aspect = width / height, near and far plane distances); then
    // the modelview matrix is made current and set to the identity.
    void (*setPerspective)(float fovyDegrees, float aspect, float zNear, float zFar);
    // Front and back faces drawn as outlines (true) or filled (false).
    void (*setPolygonLines)(bool lines);
};

// The operations in use. They do nothing until the program installs
// openGlView; tests install recording ones.
extern GlView glView;

// The OpenGL implementation; needs a current context when called. Defined
// only in the program, which links OpenGL.
extern const GlView openGlView;
