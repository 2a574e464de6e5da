#include "app/logic/arcball.h"

#include <cmath>

#include "app/logic/app_state.h"

namespace {

// A drag whose axis is shorter than this is no rotation.
constexpr float minimumAxisLength = 0.00001f;

// One third in single precision, for the mean of the nine squares.
constexpr float oneThird = 0.33333334f;

// Client size where the pixel grid spans [-1, 1] in both directions.
constexpr float defaultWidth = 1024.0f;
constexpr float defaultHeight = 768.0f;

Float3 cross(const Float3& a, const Float3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const Float3& a, const Float3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

ArcBall arcBall(defaultWidth, defaultHeight);
Mat3 lastRotation;
Mat3 thisRotation;
Mat4 sceneTransform;
unsigned char isDragging = 0;

ArcBall::ArcBall(float width, float height) : adjustWidth(0.0f), adjustHeight(0.0f) { setBounds(width, height); }

void ArcBall::setBounds(float width, float height) {
    // Pixel 0 maps to -1 and pixel width - 1 to +1.
    adjustWidth = 1.0f / ((width - 1.0f) * 0.5f);
    adjustHeight = 1.0f / ((height - 1.0f) * 0.5f);
}

Float3 ArcBall::mapToSphere(const Point2& point) const {
    const float sx = point.x * adjustWidth - 1.0f;
    const float sy = 1.0f - point.y * adjustHeight;
    const float d = sx * sx + sy * sy;
    if (d > 1.0f) {
        const float s = 1.0f / std::sqrt(d);
        return {sx * s, sy * s, 0.0f};
    }
    return {sx, sy, std::sqrt(1.0f - d)};
}

void ArcBall::click(const Point2& point) { startVector = mapToSphere(point); }

Quat ArcBall::drag(const Point2& point) {
    endVector = mapToSphere(point);
    const Float3 p = cross(startVector, endVector);
    if (std::sqrt(dot(p, p)) > minimumAxisLength) return {p.x, p.y, p.z, dot(startVector, endVector)};
    return {};
}

Mat3 quatToMatrix(const Quat& q) {
    const float n = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    // Dividing by the norm makes any non-zero quaternion a pure rotation.
    const float s = n > 0.0f ? 2.0f / n : 0.0f;
    const float xs = q.x * s, ys = q.y * s, zs = q.z * s;
    const float wx = q.w * xs, wy = q.w * ys, wz = q.w * zs;
    const float xx = q.x * xs, xy = q.x * ys, xz = q.x * zs;
    const float yy = q.y * ys, yz = q.y * zs, zz = q.z * zs;
    Mat3 r;
    float* m = r.m;
    m[0] = 1.0f - (yy + zz);  // column 0
    m[1] = xy + wz;
    m[2] = xz - wy;
    m[3] = xy - wz;  // column 1
    m[4] = 1.0f - (xx + zz);
    m[5] = yz + wx;
    m[6] = xz + wy;  // column 2
    m[7] = yz - wx;
    m[8] = 1.0f - (xx + yy);
    return r;
}

void multiplyMatrix(Mat3& a, const Mat3& b) {
    const Mat3 old = a;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            a.m[3 * c + r] = old.m[r] * b.m[3 * c] + old.m[3 + r] * b.m[3 * c + 1] + old.m[6 + r] * b.m[3 * c + 2];
        }
    }
}

void scaleRotation(Mat4& m, float s) {
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) m.m[4 * c + r] *= s;
    }
}

void setRotationKeepScale(Mat4& m, const Mat3& r) {
    float sumOfSquares = 0.0f;
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) sumOfSquares += m.m[4 * c + row] * m.m[4 * c + row];
    }
    const float scale = std::sqrt(sumOfSquares * oneThird);
    for (int c = 0; c < 3; ++c) {
        for (int row = 0; row < 3; ++row) m.m[4 * c + row] = r.m[3 * c + row];
    }
    scaleRotation(m, scale);
}

void arcballStep() {
    // 1. The right button puts the scene back, in every frame while held.
    if (rightButtonDown) {
        lastRotation = Mat3{};
        thisRotation = Mat3{};
        setRotationKeepScale(sceneTransform, thisRotation);
    }
    // 2. A drag in progress turns the scene from the orientation the previous
    //    drags left; releasing the button ends it.
    if (isDragging) {
        if (leftButtonDown) {
            const Quat q = arcBall.drag(mousePosition);
            thisRotation = quatToMatrix(q);
            multiplyMatrix(thisRotation, lastRotation);
            setRotationKeepScale(sceneTransform, thisRotation);
        } else {
            isDragging = 0;
        }
    } else if (leftButtonDown) {
        // 3. A new drag starts where the pointer is now; it composes onto
        //    the orientation reached so far.
        lastRotation = thisRotation;
        isDragging = 1;
        arcBall.click(mousePosition);
    }
}
