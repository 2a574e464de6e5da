#include "gl11/glu_shapes.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace gl11 {

namespace {

constexpr double pi = 3.14159265358979323846;
// GLU keeps at most this many slices and stacks.
constexpr int mostDivisions = 239;

}  // namespace

bool perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar, double (&m)[16]) {
    const double radians = fovyDegrees / 2 * pi / 180;
    const double depth = zFar - zNear;
    const double sine = std::sin(radians);
    if (depth == 0 || sine == 0 || aspect == 0) return false;
    const double cotangent = std::cos(radians) / sine;
    std::fill(std::begin(m), std::end(m), 0.0);
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / depth;
    m[11] = -1;
    m[14] = -2 * zNear * zFar / depth;
    return true;
}

void drawSphere(Context& context, double radius, int slices, int stacks, bool normals) {
    slices = std::min(slices, mostDivisions);
    stacks = std::min(stacks, mostDivisions);
    if (slices < 2 || stacks < 1 || radius < 0.0) return;

    // Around the z axis: the sine and cosine of each slice's angle, in
    // single precision as GLU keeps them; the last slice closes the circle
    // on the first. Angles are rounded to single precision before their
    // sine is taken.
    std::vector<float> aroundSin(static_cast<std::size_t>(slices) + 1), aroundCos(aroundSin.size());
    for (int i = 0; i < slices; ++i) {
        const float angle = static_cast<float>(2 * pi * i / slices);
        aroundSin[i] = static_cast<float>(std::sin(static_cast<double>(angle)));
        aroundCos[i] = static_cast<float>(std::cos(static_cast<double>(angle)));
    }
    aroundSin[slices] = aroundSin[0];
    aroundCos[slices] = aroundCos[0];

    // From the top pole down: each ring's radius and height (scaled by the
    // sphere's radius), and the unit normal's share of each.
    const std::size_t rings = static_cast<std::size_t>(stacks) + 1;
    std::vector<float> ringRadius(rings), ringHeight(rings), normalRadius(rings), normalHeight(rings);
    for (int j = 0; j <= stacks; ++j) {
        const float angle = static_cast<float>(pi * j / stacks);
        normalRadius[j] = static_cast<float>(std::sin(static_cast<double>(angle)));
        normalHeight[j] = static_cast<float>(std::cos(static_cast<double>(angle)));
        ringRadius[j] = static_cast<float>(radius * std::sin(static_cast<double>(angle)));
        ringHeight[j] = static_cast<float>(radius * std::cos(static_cast<double>(angle)));
    }
    // The poles are points, whatever the sine of pi gives.
    ringRadius[0] = 0.0f;
    ringRadius[stacks] = 0.0f;

    const auto normalAt = [&](int i, float radial, float height) {
        if (normals) context.normal(aroundSin[i] * radial, aroundCos[i] * radial, height);
    };
    const auto vertexAt = [&](int i, int j) {
        context.vertex(ringRadius[j] * aroundSin[i], ringRadius[j] * aroundCos[i], ringHeight[j]);
    };

    // Top cap: the pole, then the first ring against the slices' order.
    normalAt(0, normalRadius[0], normalHeight[0]);
    context.begin(GL_TRIANGLE_FAN);
    context.vertex(0.0f, 0.0f, static_cast<float>(radius));
    for (int i = slices; i >= 0; --i) {
        normalAt(i, normalRadius[1], normalHeight[1]);
        vertexAt(i, 1);
    }
    context.end();

    // Bottom cap: the pole, then the last ring in the slices' order. The
    // pole's normal takes its angle from the slice numbered like the last
    // ring, as GLU's does; at the pole its sideways part is nil anyway.
    const int poleSlice = std::min(stacks, slices);
    normalAt(poleSlice, normalRadius[stacks], normalHeight[stacks]);
    context.begin(GL_TRIANGLE_FAN);
    context.vertex(0.0f, 0.0f, static_cast<float>(-radius));
    for (int i = 0; i <= slices; ++i) {
        normalAt(i, normalRadius[stacks - 1], normalHeight[stacks - 1]);
        vertexAt(i, stacks - 1);
    }
    context.end();

    // The stacks between the caps: each ring's point below, then above.
    for (int j = 1; j + 1 < stacks; ++j) {
        context.begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; ++i) {
            normalAt(i, normalRadius[j + 1], normalHeight[j + 1]);
            vertexAt(i, j + 1);
            normalAt(i, normalRadius[j], normalHeight[j]);
            vertexAt(i, j);
        }
        context.end();
    }
}

}  // namespace gl11
