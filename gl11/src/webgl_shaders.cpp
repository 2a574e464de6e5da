#include "webgl_shaders.h"

#include <cstdio>

namespace gl11::webgl {

namespace {

// Per vertex, as OpenGL 1.1 lights it: in eye coordinates, with the
// viewer infinitely far along +z, no attenuation and no spots. One-sided:
// back faces take the front material and their normal as it is.
// Vertex shader source after its #version line; compiled once with
// LIGHTING defined for lit draws and once without for unlit ones, so that
// an unlit draw (the letters, the grid) runs none of the lighting.
const char* const vertexShader = R"(
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 colour;
// What changes from draw to draw ...
uniform mat4 modelview;
uniform float pointSize;
#ifdef LIGHTING
uniform mat3 normalMatrix;
uniform ivec2 switches;       // colour material, normalize
#endif
// ... and what seldom does, in a block of its own.
layout(std140) uniform Scene {
    mat4 projection;
    vec4 material[5];         // ambient, diffuse, specular, emission, (shininess, -, -, -)
    vec4 sceneAmbient;
    vec4 lights[8];           // per light: ambient, diffuse, specular, position
    ivec4 lightOn;
};
out vec4 smoothColour;
flat out vec4 flatColour;

void main() {
    vec4 eye = modelview * vec4(position, 1.0);
    gl_Position = projection * eye;
    gl_PointSize = pointSize;
    vec4 c = colour;
#ifdef LIGHTING
    vec3 n = normalMatrix * normal;
    if (switches.y != 0) n = normalize(n);
    vec4 ambient = switches.x != 0 ? colour : material[0];
    vec4 diffuse = switches.x != 0 ? colour : material[1];
    float shininess = material[4].x;
    vec3 sum = material[3].rgb + ambient.rgb * sceneAmbient.rgb;
    for (int i = 0; i < 2; ++i) {
        if (lightOn[i] == 0) continue;
        vec4 p = lights[4 * i + 3];
        vec3 toLight = normalize(p.w == 0.0 ? p.xyz : p.xyz / p.w - eye.xyz / eye.w);
        float facing = dot(n, toLight);
        sum += ambient.rgb * lights[4 * i].rgb;
        if (facing > 0.0) {
            sum += facing * diffuse.rgb * lights[4 * i + 1].rgb;
            float highlight = max(dot(n, normalize(toLight + vec3(0.0, 0.0, 1.0))), 0.0);
            float power = shininess == 0.0 ? 1.0 : pow(highlight, shininess);
            sum += power * material[2].rgb * lights[4 * i + 2].rgb;
        }
    }
    c = vec4(sum, diffuse.a);
#endif
    smoothColour = clamp(c, 0.0, 1.0);
    flatColour = smoothColour;
}
)";

const char* const fragmentShader = R"(
precision highp float;
in vec4 smoothColour;
flat in vec4 flatColour;
uniform bool flatShading;
out vec4 fragment;

void main() {
    fragment = flatShading ? flatColour : smoothColour;
}
)";

GLuint compile(GLenum kind, const char* prefix, const char* source) {
    const GLuint shader = emscripten_glCreateShader(kind);
    const char* parts[] = {prefix, source};
    emscripten_glShaderSource(shader, 2, parts, nullptr);
    emscripten_glCompileShader(shader);
    GLint ok = 0;
    emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[1024] = "";
        emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "prallwerk: shader does not compile: %s\n", log);
        emscripten_glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

std::array<float, 9> normalMatrixOf(const Mat4& m) {
    const float a = m[0], b = m[4], c = m[8];
    const float d = m[1], e = m[5], f = m[9];
    const float g = m[2], h = m[6], i = m[10];
    const float A = e * i - f * h, B = f * g - d * i, C = d * h - e * g;
    const float det = a * A + b * B + c * C;
    if (det == 0.0f) return {};
    const float s = 1.0f / det;
    // Column by column: the transpose of the inverse is the cofactor matrix
    // over the determinant.
    return {A * s, B * s, C * s,
            (c * h - b * i) * s, (a * i - c * g) * s, (b * g - a * h) * s,
            (b * f - c * e) * s, (c * d - a * f) * s, (a * e - b * d) * s};
}

void ShaderProgram::build(bool lit, GLuint sceneBinding) {
    const char* prefix = lit ? "#version 300 es\n#define LIGHTING\n" : "#version 300 es\n";
    const GLuint vs = compile(GL_VERTEX_SHADER, prefix, vertexShader);
    const GLuint fs = compile(GL_FRAGMENT_SHADER, "#version 300 es\n", fragmentShader);
    if (vs != 0 && fs != 0) {
        id = emscripten_glCreateProgram();
        emscripten_glAttachShader(id, vs);
        emscripten_glAttachShader(id, fs);
        emscripten_glLinkProgram(id);
        GLint ok = 0;
        emscripten_glGetProgramiv(id, GL_LINK_STATUS, &ok);
        if (!ok) {
            char log[1024] = "";
            emscripten_glGetProgramInfoLog(id, sizeof log, nullptr, log);
            std::fprintf(stderr, "prallwerk: shader program does not link: %s\n", log);
            emscripten_glDeleteProgram(id);
            id = 0;
        }
    }
    if (vs != 0) emscripten_glDeleteShader(vs);
    if (fs != 0) emscripten_glDeleteShader(fs);
    if (id == 0) return;
    const auto where = [this](const char* name) { return emscripten_glGetUniformLocation(id, name); };
    modelview.location = where("modelview");
    pointSize.location = where("pointSize");
    flat.location = where("flatShading");
    normalMatrix.location = where("normalMatrix");
    switchesLocation = where("switches");
    emscripten_glUniformBlockBinding(id, emscripten_glGetUniformBlockIndex(id, "Scene"), sceneBinding);
}

}  // namespace gl11::webgl
