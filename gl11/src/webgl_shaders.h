#pragma once

// The shader programs that do the OpenGL 1.1 subset's fixed-function work
// on WebGL 2, and the uniforms they are given, each set only when its value
// changes. Every call needs the WebGL 2 context the program was made in to
// be current.

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gl11/draw_backend.h"

namespace gl11::webgl {

// The Scene block as std140 lays it out.
struct SceneBlock {
    float projection[16];
    float material[20];
    float sceneAmbient[4];
    float lights[32];
    std::int32_t lightOn[4];
};
static_assert(sizeof(SceneBlock) == 304, "std140 layout of the Scene block");

enum Attribute : GLuint { positionAttribute = 0, normalAttribute = 1, colourAttribute = 2 };

// The upper left 3 x 3 of m, inverted and transposed: what turns normals
// into eye coordinates. A singular matrix gives zeros.
std::array<float, 9> normalMatrixOf(const Mat4& m);

// A uniform and the value last given to it: it is set only when it changes.
template <std::size_t N>
struct CachedFloats {
    GLint location = -1;
    std::array<float, N> value{};
    bool known = false;

    bool changes(const float* v) {
        if (known && std::memcmp(value.data(), v, sizeof(float) * N) == 0) return false;
        std::memcpy(value.data(), v, sizeof(float) * N);
        known = true;
        return true;
    }
};

struct CachedInt {
    GLint location = -1;
    int value = 0;
    bool known = false;

    void set(int v) {
        if (known && value == v) return;
        value = v;
        known = true;
        emscripten_glUniform1i(location, v);
    }
};

// One of the two programs, with the uniforms it has and their last values.
struct ShaderProgram {
    GLuint id = 0;
    CachedFloats<16> modelview;
    CachedFloats<1> pointSize;
    CachedInt flat;
    CachedFloats<9> normalMatrix;  // lit only
    GLint switchesLocation = -1;   // lit only
    std::array<int, 2> switches{};
    bool switchesKnown = false;

    // Compiles and links; 0 in id when that fails (the log goes to stderr).
    void build(bool lit, GLuint sceneBinding);
};

}  // namespace gl11::webgl
