// The context's two matrix stacks.

#include "gl11/context.h"

#include "context_records.h"

namespace gl11 {

namespace {

// OpenGL 1.1's smallest stack depths, which are what the program may count on.
constexpr std::size_t modelviewStackDepth = 32;
constexpr std::size_t projectionStackDepth = 2;

// a x b, both stored column by column.
Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 r{};
    for (int c = 0; c < 4; ++c) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[c * 4 + k];
            r[c * 4 + row] = sum;
        }
    }
    return r;
}

}  // namespace

Mat4& Context::currentMatrix() {
    return matrixMode_ == GL_PROJECTION ? projectionStack_.back() : modelviewStack_.back();
}

void Context::matrixMode(GLenum mode) {
    if (recorded([=](Context& c) { c.matrixMode(mode); })) return;
    if (mode == GL_MODELVIEW || mode == GL_PROJECTION) matrixMode_ = mode;
}

void Context::loadIdentity() {
    if (recorded([](Context& c) { c.loadIdentity(); })) return;
    changed();
    currentMatrix() = identity;
}

void Context::pushMatrix() {
    if (recorded([](Context& c) { c.pushMatrix(); })) return;
    auto& stack = matrixMode_ == GL_PROJECTION ? projectionStack_ : modelviewStack_;
    const std::size_t depth = matrixMode_ == GL_PROJECTION ? projectionStackDepth : modelviewStackDepth;
    if (stack.size() < depth) stack.push_back(stack.back());
}

void Context::popMatrix() {
    if (recorded([](Context& c) { c.popMatrix(); })) return;
    auto& stack = matrixMode_ == GL_PROJECTION ? projectionStack_ : modelviewStack_;
    if (stack.size() < 2) return;
    changed();
    stack.pop_back();
}

void Context::translate(float x, float y, float z) {
    if (recorded([=](Context& c) { c.translate(x, y, z); })) return;
    changed();
    Mat4& m = currentMatrix();
    for (int row = 0; row < 4; ++row) m[12 + row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
}

void Context::multMatrix(const Mat4& by) {
    if (recorded([=](Context& c) { c.multMatrix(by); })) return;
    changed();
    Mat4& m = currentMatrix();
    m = multiply(m, by);
}

}  // namespace gl11
