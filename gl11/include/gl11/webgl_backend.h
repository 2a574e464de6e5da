#pragma once

// The OpenGL 1.1 subset's draws on WebGL 2: one shader program does the
// fixed-function lighting of the subset (two lights, per vertex as OpenGL
// 1.1 lights, colour tracking, flat or smooth shading); immediate-mode draws
// stream through one buffer, display lists' vertices sit in static buffers.
// Every call needs the WebGL 2 context it was made in to be current.

#include <cstdint>
#include <memory>
#include <vector>

#include "gl11/draw_backend.h"

namespace gl11 {

class WebGlBackend final : public DrawBackend {
public:
    // Compiles the program and makes the buffers in the current context;
    // check ready() before drawing.
    WebGlBackend();
    ~WebGlBackend() override;
    WebGlBackend(const WebGlBackend&) = delete;
    WebGlBackend& operator=(const WebGlBackend&) = delete;

    // false when the shader program did not build (its log went to stderr).
    bool ready() const;

    // Drawing-buffer pixels per window pixel: viewports and point sizes are
    // given in window pixels and drawn at this scale.
    void setPixelScale(float scale);

    void viewport(int x, int y, int width, int height) override;
    void clear(bool colour, bool depth, const Vec4& rgba) override;
    void draw(const DrawState& state, Topology topology, const Vertex* vertices, std::size_t count) override;
    StoredRun store(const Vertex* vertices, std::size_t count) override;
    void drawStored(const DrawState& state, Topology topology, const StoredRun& run, const std::uint32_t* indices,
                    std::size_t indexCount) override;
    void release(const StoredRun& run) override;
    void flush() override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace gl11
