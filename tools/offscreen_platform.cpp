#include "tools/offscreen_platform.h"

#include <GL/osmesa.h>

#include <cstdio>
#include <vector>

#include "app/platform/sdl/freetype_glyphs.h"

namespace {

// A window: the pixels the context draws into, RGBA, bottom row first.
struct Surface {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

Surface* surfaceOf(PlatformWindow* window) { return reinterpret_cast<Surface*>(window); }
OSMesaContext contextOf(PlatformContext* context) { return reinterpret_cast<OSMesaContext>(context); }

}  // namespace

OffscreenPlatform::~OffscreenPlatform() = default;

BoxResult OffscreenPlatform::askQuestion(const char*, const char*) {
    BoxResult result;
    result.answer = Answer::no;
    return result;
}

BoxResult OffscreenPlatform::showWarning(const char* title, const char* text) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    return {};
}

bool OffscreenPlatform::requestPixelFormat(const PixelFormatRequest& request) {
    depthBits_ = request.depthBits;
    return true;
}

PlatformWindow* OffscreenPlatform::openWindow(const WindowSpec& spec) {
    if (spec.width < 1 || spec.height < 1) return nullptr;
    auto* surface = new Surface;
    surface->width = spec.width;
    surface->height = spec.height;
    surface->pixels.resize(static_cast<std::size_t>(spec.width) * spec.height * 4);
    return reinterpret_cast<PlatformWindow*>(surface);
}

void OffscreenPlatform::closeWindow(PlatformWindow* window) { delete surfaceOf(window); }

PlatformContext* OffscreenPlatform::createGlContext(PlatformWindow*) {
    return reinterpret_cast<PlatformContext*>(OSMesaCreateContextExt(OSMESA_RGBA, depthBits_, 0, 0, nullptr));
}

// OSMesa has no call that leaves no context current; the next window's
// makeCurrent replaces this one.
bool OffscreenPlatform::makeCurrent(PlatformWindow* window, PlatformContext* context) {
    if (window == nullptr || context == nullptr) return true;
    Surface& surface = *surfaceOf(window);
    return OSMesaMakeCurrent(contextOf(context), surface.pixels.data(), GL_UNSIGNED_BYTE, surface.width,
                             surface.height) != 0;
}

void OffscreenPlatform::deleteGlContext(PlatformContext* context) { OSMesaDestroyContext(contextOf(context)); }

// The frame is in the window's memory once drawing has finished.
void OffscreenPlatform::swapBuffers(PlatformWindow*) { glFinish(); }

bool OffscreenPlatform::peekEvent(PlatformEvent& event) {
    if (events_.empty()) return false;
    event = events_.front();
    events_.pop_front();
    return true;
}

void OffscreenPlatform::postQuit() {
    PlatformEvent quit;
    quit.kind = PlatformEvent::Kind::quit;
    events_.push_back(quit);
}

std::unique_ptr<GlyphSource> OffscreenPlatform::openGlyphSource() { return openFreetypeDefaultFace(); }
