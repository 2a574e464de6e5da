#pragma once

#include "app/seam/platform.h"

// What every platform whose windows have OpenGL contexts shares: the view
// of the current context set with OpenGL. Each platform's class derives from
// it and supplies the rest.
class OpenGlPlatform : public Platform {
public:
    void setViewport(int width, int height) final;
    void setPerspective(float fovyDegrees, float aspect, float zNear, float zFar) final;
    void setPolygonLines(bool lines) final;
};
