#pragma once

#include "app/logic/point2.h"

// Mouse rotation of the whole scene: a glass ball filling the window, turned
// by the pointer. All values are single precision.

// A vector on (or in) the unit sphere.
struct Float3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

struct Quat {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;
};

// 3 x 3 matrix stored column by column: element (row r, column c) at 3c + r.
// Starts as the identity.
struct Mat3 {
    float m[9] = {1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f};
};

// 4 x 4 matrix stored column by column as OpenGL expects: (r, c) at 4c + r.
// Its upper-left 3 x 3 block is the rotation-and-scale part. Starts as the
// identity.
struct Mat4 {
    float m[16] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f,
                   0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
};

// Maps window points onto a unit sphere and turns a drag into a rotation.
struct ArcBall {
    Float3 startVector;   // sphere vector where the drag began
    Float3 endVector;     // sphere vector of the current drag point
    float adjustWidth;    // 1 / ((window width - 1) * 0.5)
    float adjustHeight;   // 1 / ((window height - 1) * 0.5)

    // Both vectors zero, bounds for a width x height pixel window.
    ArcBall(float width, float height);

    // New window size in pixels. Sizes below 2 give infinite bounds: callers
    // keep the old bounds for them.
    void setBounds(float width, float height);

    // The window maps to [-1, 1] in x (rightwards) and y (upwards). Points
    // inside the inscribed circle go onto the front of the unit sphere, those
    // outside onto its rim (z = 0).
    Float3 mapToSphere(const Point2& point) const;

    // Starts a drag at point.
    void click(const Point2& point);

    // Rotation from the drag's start to point: axis start x end, w = start .
    // end, which for unit vectors turns by twice the angle between them. The
    // zero quaternion when start and end are (nearly) parallel.
    Quat drag(const Point2& point);
};

// Rotation matrix of q, scaled to unit length on the way; the zero quaternion
// gives the identity.
Mat3 quatToMatrix(const Quat& q);

// a = a x b.
void multiplyMatrix(Mat3& a, const Mat3& b);

// Multiplies the nine upper-left elements of m by s.
void scaleRotation(Mat4& m, float s);

// Replaces the rotation part of m by r, keeping m's uniform scale (the root
// mean square of its nine upper-left elements times the square root of 3).
// The fourth row and column are not touched.
void setRotationKeepScale(Mat4& m, const Mat3& r);

// Rotation state of the scene, owned by the arcball step.
extern ArcBall arcBall;       // bounds follow the window size
extern Mat3 lastRotation;     // orientation before the current drag
extern Mat3 thisRotation;     // orientation including the current drag
extern Mat4 sceneTransform;   // multiplied onto the modelview matrix to draw the scene
extern unsigned char isDragging;

// Once per frame, from the mouse state: the right button resets the rotation
// (in every frame while held); a left-button drag turns the scene from where
// the previous drags left it. The frame in which a drag starts does not turn.
void arcballStep();
