// Looks at the windows of an X display for the end-to-end tests: finds a
// window by its exact title (also a UTF-8 one, which this xdotool cannot
// match), reports its size, and tells when its pixels change.
//
//   window_probe find TITLE TIMEOUT_MS        prints the window id
//   window_probe size WINDOW                  prints WIDTHxHEIGHT
//   window_probe hash WINDOW                  prints a hash of the pixels
//   window_probe letters WINDOW               prints a hash of where the pure
//                                             white pixels (the HUD's
//                                             letters) are
//   window_probe wait-change WINDOW HASH TIMEOUT_MS
//                                             waits until the hash differs
//   window_probe wait-drawn TITLE TIMEOUT_MS  waits until the window shows a
//                                             non-black pixel; prints the
//                                             wall-clock time then, in ms
//   window_probe wait-stable WINDOW QUIET_MS TIMEOUT_MS
//                                             waits until the pixels stay
//                                             the same for QUIET_MS; prints
//                                             their hash
//   window_probe frame-gap WINDOW TIMEOUT_MS  waits for two changes of the
//                                             pixels in a row (a moving
//                                             scene) and prints the ms
//                                             between them
//   window_probe style WINDOW                 prints popup for a borderless
//                                             topmost (full-screen) window,
//                                             overlapped otherwise
//   window_probe dump WINDOW FILE             writes the pixels as a PPM file
//   window_probe compare FILE FILE TILE LIMIT compares two PPM files of one
//                                             size in squares of TILE pixels;
//                                             fails when in any square more
//                                             than LIMIT pixels differ by
//                                             more than a rounding
//   window_probe check-scene WINDOW           counts the pixels of the lit
//                                             scene and the HUD in their
//                                             bands; fails when one is
//                                             missing
//
// WINDOW is an X window id, or ID:X,Y,W,H for the part of the window at X,
// Y of W x H pixels: a client area inside a frame that the program draws
// itself (Wine's windows without a window manager).
//
// Exit status 0 on success, 1 on a timeout or a missing window, 2 on misuse.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(5);

// Windows can vanish between two requests; that is a miss, not a crash.
int ignoreErrors(Display*, XErrorEvent*) { return 0; }

std::string titleOf(Display* display, Window window) {
    static const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    static const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    for (Atom property : {netWmName, static_cast<Atom>(XA_WM_NAME)}) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        const int status = XGetWindowProperty(display, window, property, 0, 1024, False, AnyPropertyType, &type,
                                              &format, &count, &after, &data);
        if (status == Success && data != nullptr && format == 8 && (type == utf8 || type == XA_STRING)) {
            std::string title(reinterpret_cast<char*>(data), count);
            XFree(data);
            return title;
        }
        if (data != nullptr) XFree(data);
    }
    return {};
}

bool viewable(Display* display, Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

// Depth-first over the tree below parent, so that a window manager's frames
// do not hide the client windows.
Window findTitled(Display* display, Window parent, const std::string& title, int depth) {
    Window root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &up, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        if (titleOf(display, children[i]) == title && viewable(display, children[i])) found = children[i];
        else if (depth > 0) found = findTitled(display, children[i], title, depth - 1);
    }
    if (children != nullptr) XFree(children);
    return found;
}

// The area of a window that a WINDOW argument names.
struct Area {
    Window window = 0;
    int x = 0, y = 0, width = -1, height = -1;  // -1: the whole window
};

Area areaOf(const char* argument) {
    Area area;
    char* rest = nullptr;
    area.window = std::strtoul(argument, &rest, 0);
    if (rest != nullptr && *rest == ':') {
        std::sscanf(rest + 1, "%d,%d,%d,%d", &area.x, &area.y, &area.width, &area.height);
    }
    return area;
}

// The pixels of the area; null when they cannot be read.
XImage* imageOf(Display* display, const Area& area) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, area.window, &attributes) || attributes.map_state != IsViewable) return nullptr;
    const int width = area.width < 0 ? attributes.width : area.width;
    const int height = area.height < 0 ? attributes.height : area.height;
    if (area.x + width > attributes.width || area.y + height > attributes.height) return nullptr;
    // X reads no window that reaches past the screen (Wine's framed window
    // on a screen of its own size): then the screen's pixels of the part
    // that is on it.
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display, area.window, attributes.root, area.x, area.y, &rootX, &rootY, &child);
    XWindowAttributes screen;
    if (!XGetWindowAttributes(display, attributes.root, &screen)) return nullptr;
    if (rootX >= 0 && rootY >= 0 && rootX + width <= screen.width && rootY + height <= screen.height) {
        return XGetImage(display, area.window, area.x, area.y, width, height, AllPlanes, ZPixmap);
    }
    const int left = std::max(rootX, 0), top = std::max(rootY, 0);
    const int right = std::min(rootX + width, screen.width), bottom = std::min(rootY + height, screen.height);
    if (right <= left || bottom <= top) return nullptr;
    return XGetImage(display, attributes.root, left, top, right - left, bottom - top, AllPlanes, ZPixmap);
}

// FNV-1a over the area's pixels; 0 when they cannot be read. With
// lettersOnly, over the places of its pure white pixels: the HUD's letters
// are the only such pixels (its panels are translucent grey, and the lit
// scene is never white), so that hash tells which text the area shows
// whatever moves behind it.
uint64_t pixelHash(Display* display, const Area& area, bool* anyLit, bool lettersOnly = false) {
    XImage* image = imageOf(display, area);
    if (image == nullptr) return 0;
    uint64_t hash = 1469598103934665603ull;
    bool lit = false;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFFul;
            lit = lit || pixel != 0;
            if (!lettersOnly) {
                hash = (hash ^ pixel) * 1099511628211ull;
            } else if (pixel == 0xFFFFFF) {
                hash = (hash ^ static_cast<uint64_t>(y * image->width + x)) * 1099511628211ull;
            }
        }
    }
    XDestroyImage(image);
    if (anyLit != nullptr) *anyLit = lit;
    return hash == 0 ? 1 : hash;
}

// What a frame of the program shows, counted by colour in three bands: the
// top panel with the control lines, the middle with the grid and the
// bodies, the lower panel with the body table.
struct SceneCensus {
    long panelTop = 0;       // the translucent grey over black
    long panelBottom = 0;
    long textTop = 0;        // white letters
    long textBottom = 0;
    long tableRows[7] = {};  // letters in each body's exact colour
    long grid = 0;           // grey grid lines in the middle
    long bodies = 0;         // coloured pixels in the middle: lit bodies, velocity lines
};

// The HUD's bands at the program's 1024 x 768 view: the top panel ends 78
// pixels below the top, the lower panel starts 124 pixels above the bottom.
constexpr int topBandEnd = 78;
constexpr int bottomBandHeight = 124;

const unsigned long bodyPixels[7] = {0xFFFF00, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFF8000};

bool isGrey(unsigned long pixel, int level) {
    const int r = static_cast<int>(pixel >> 16 & 0xFF), g = static_cast<int>(pixel >> 8 & 0xFF),
              b = static_cast<int>(pixel & 0xFF);
    return r == g && g == b && std::abs(r - level) <= 2;
}

bool censusOf(Display* display, const Area& area, SceneCensus& census) {
    XImage* image = imageOf(display, area);
    if (image == nullptr) return false;
    const int bottomBandStart = image->height - bottomBandHeight;
    for (int y = 0; y < image->height; ++y) {
        const bool top = y < topBandEnd, bottom = y >= bottomBandStart;
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y) & 0xFFFFFFul;
            if (top || bottom) {
                if (isGrey(pixel, 64)) ++(top ? census.panelTop : census.panelBottom);
                if (pixel == 0xFFFFFF) ++(top ? census.textTop : census.textBottom);
                for (int j = 0; j < 7 && bottom; ++j) census.tableRows[j] += pixel == bodyPixels[j];
            } else if (isGrey(pixel, 128)) {
                ++census.grid;
            } else if (pixel != 0 && !isGrey(pixel, pixel & 0xFF)) {
                ++census.bodies;
            }
        }
    }
    XDestroyImage(image);
    return true;
}

// Prints the census and whether each part of the picture is there.
int checkScene(Display* display, const Area& area) {
    SceneCensus c;
    if (!censusOf(display, area, c)) return 1;
    struct Part {
        const char* name;
        long count;
        long least;
    };
    const Part parts[] = {
        {"top panel", c.panelTop, 20000},        {"lower panel", c.panelBottom, 10000},
        {"control texts", c.textTop, 1500},      {"table labels", c.textBottom, 400},
        {"grid", c.grid, 5000},                  {"bodies", c.bodies, 300},
        {"row 0", c.tableRows[0], 300},          {"row 1", c.tableRows[1], 300},
        {"row 2", c.tableRows[2], 300},          {"row 3", c.tableRows[3], 300},
        {"row 4", c.tableRows[4], 300},          {"row 5", c.tableRows[5], 300},
        {"row 6", c.tableRows[6], 300},
    };
    int missing = 0;
    for (const Part& p : parts) {
        const bool there = p.count >= p.least;
        std::printf("%-14s %7ld pixels%s\n", p.name, p.count, there ? "" : "  MISSING");
        missing += !there;
    }
    return missing == 0 ? 0 : 1;
}

// The program's full-screen window asks to stay above the others; its
// windowed one does not.
bool isPopup(Display* display, Window window) {
    const Atom netWmState = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(display, "_NET_WM_STATE_ABOVE", False);
    const Atom fullscreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool popup = false;
    if (XGetWindowProperty(display, window, netWmState, 0, 64, False, XA_ATOM, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 32) {
        const auto* atoms = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i < count; ++i) popup = popup || atoms[i] == above || atoms[i] == fullscreen;
    }
    if (data != nullptr) XFree(data);
    return popup;
}

bool expired(std::chrono::steady_clock::time_point start, long timeoutMs) {
    return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeoutMs);
}

long long wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

int usage() {
    std::fprintf(stderr, "usage: window_probe find|size|hash|letters|wait-change|wait-drawn|wait-stable|frame-gap|"
                         "style|check-scene|dump|compare ...\n");
    return 2;
}

bool dumpArea(Display* display, const Area& area, const char* path) {
    XImage* image = imageOf(display, area);
    if (image == nullptr) return false;
    FILE* file = std::fopen(path, "wb");
    if (file != nullptr) {
        std::fprintf(file, "P6\n%d %d\n255\n", image->width, image->height);
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                              static_cast<unsigned char>(pixel >> 8),
                                              static_cast<unsigned char>(pixel)};
                std::fwrite(rgb, 1, 3, file);
            }
        }
    }
    XDestroyImage(image);
    return file != nullptr && std::fclose(file) == 0;
}

struct Picture {
    int width = 0, height = 0;
    std::string rgb;
};

bool readPicture(const char* path, Picture& picture) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    int maximum = 0;
    const bool header = std::fscanf(file, "P6 %d %d %d", &picture.width, &picture.height, &maximum) == 3 &&
                        maximum == 255 && std::fgetc(file) != EOF;
    if (header) {
        picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
        const bool complete = std::fread(picture.rgb.data(), 1, picture.rgb.size(), file) == picture.rgb.size();
        std::fclose(file);
        return complete;
    }
    std::fclose(file);
    return false;
}

// Square by square, the pixels whose colour differs by more than a rounding
// step in some channel; prints the worst square and the squares over limit.
int comparePictures(const char* pathA, const char* pathB, int tile, long limit) {
    Picture a, b;
    if (!readPicture(pathA, a) || !readPicture(pathB, b)) return 2;
    if (a.width != b.width || a.height != b.height || tile < 1) {
        std::printf("sizes differ: %dx%d and %dx%d\n", a.width, a.height, b.width, b.height);
        return 1;
    }
    constexpr int roundingStep = 8;
    long worst = 0, over = 0, total = 0;
    int worstX = 0, worstY = 0;
    for (int ty = 0; ty < a.height; ty += tile) {
        for (int tx = 0; tx < a.width; tx += tile) {
            long differing = 0;
            for (int y = ty; y < std::min(ty + tile, a.height); ++y) {
                for (int x = tx; x < std::min(tx + tile, a.width); ++x) {
                    const std::size_t i = (static_cast<std::size_t>(y) * a.width + x) * 3;
                    for (int c = 0; c < 3; ++c) {
                        const int d = static_cast<unsigned char>(a.rgb[i + c]) - static_cast<unsigned char>(b.rgb[i + c]);
                        if (std::abs(d) > roundingStep) {
                            ++differing;
                            break;
                        }
                    }
                }
            }
            total += differing;
            if (differing > limit) {
                ++over;
                std::printf("square at %d,%d: %ld pixels differ\n", tx, ty, differing);
            }
            if (differing > worst) {
                worst = differing;
                worstX = tx;
                worstY = ty;
            }
        }
    }
    std::printf("%ld pixels differ in all; worst square at %d,%d with %ld; %ld squares over %ld\n", total, worstX,
                worstY, worst, over, limit);
    return over == 0 ? 0 : 1;
}

int run(Display* display, int argc, char** argv) {
    const std::string command = argv[1];
    const Window rootWindow = DefaultRootWindow(display);
    const auto start = std::chrono::steady_clock::now();
    constexpr int searchDepth = 2;

    if (command == "find" && argc == 4) {
        const long timeoutMs = std::atol(argv[3]);
        for (;;) {
            if (const Window w = findTitled(display, rootWindow, argv[2], searchDepth)) {
                std::printf("%lu\n", w);
                return 0;
            }
            if (expired(start, timeoutMs)) return 1;
            std::this_thread::sleep_for(pollInterval);
        }
    }
    if (command == "size" && argc == 3) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, std::strtoul(argv[2], nullptr, 0), &attributes)) return 1;
        std::printf("%dx%d\n", attributes.width, attributes.height);
        return 0;
    }
    if ((command == "hash" || command == "letters") && argc == 3) {
        const uint64_t hash = pixelHash(display, areaOf(argv[2]), nullptr, command == "letters");
        if (hash == 0) return 1;
        std::printf("%016llx\n", static_cast<unsigned long long>(hash));
        return 0;
    }
    if (command == "frame-gap" && argc == 4) {
        const Area window = areaOf(argv[2]);
        const long timeoutMs = std::atol(argv[3]);
        uint64_t last = pixelHash(display, window, nullptr);
        int changes = 0;
        std::chrono::steady_clock::time_point changed;
        for (;;) {
            const uint64_t hash = pixelHash(display, window, nullptr);
            if (hash != 0 && hash != last) {
                const auto now = std::chrono::steady_clock::now();
                if (++changes == 2) {
                    std::printf("%lld\n", static_cast<long long>(
                                               std::chrono::duration_cast<std::chrono::milliseconds>(now - changed)
                                                   .count()));
                    return 0;
                }
                changed = now;
                last = hash;
            }
            if (expired(start, timeoutMs)) return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (command == "style" && argc == 3) {
        std::printf("%s\n", isPopup(display, std::strtoul(argv[2], nullptr, 0)) ? "popup" : "overlapped");
        return 0;
    }
    if (command == "wait-stable" && argc == 5) {
        const Area window = areaOf(argv[2]);
        const auto quiet = std::chrono::milliseconds(std::atol(argv[3]));
        const long timeoutMs = std::atol(argv[4]);
        uint64_t last = 0;
        auto since = std::chrono::steady_clock::now();
        for (;;) {
            const uint64_t hash = pixelHash(display, window, nullptr);
            const auto now = std::chrono::steady_clock::now();
            if (hash != last) {
                last = hash;
                since = now;
            } else if (hash != 0 && now - since >= quiet) {
                std::printf("%016llx\n", static_cast<unsigned long long>(hash));
                return 0;
            }
            if (expired(start, timeoutMs)) return 1;
            std::this_thread::sleep_for(pollInterval);
        }
    }
    if (command == "check-scene" && argc == 3) {
        return checkScene(display, areaOf(argv[2]));
    }
    if (command == "wait-change" && argc == 5) {
        const Area window = areaOf(argv[2]);
        const unsigned long long before = std::strtoull(argv[3], nullptr, 16);
        const long timeoutMs = std::atol(argv[4]);
        for (;;) {
            const uint64_t hash = pixelHash(display, window, nullptr);
            if (hash != 0 && hash != before) return 0;
            if (expired(start, timeoutMs)) return 1;
            std::this_thread::sleep_for(pollInterval);
        }
    }
    if (command == "dump" && argc == 4) {
        return dumpArea(display, areaOf(argv[2]), argv[3]) ? 0 : 1;
    }
    if (command == "wait-drawn" && argc == 4) {
        const long timeoutMs = std::atol(argv[3]);
        for (;;) {
            bool lit = false;
            const Window window = findTitled(display, rootWindow, argv[2], searchDepth);
            if (window != 0 && pixelHash(display, Area{window}, &lit) != 0 && lit) {
                std::printf("%lld\n", wallClockMs());
                return 0;
            }
            if (expired(start, timeoutMs)) return 1;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return usage();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    // Comparing pictures needs no display.
    if (std::string(argv[1]) == "compare") {
        if (argc != 6) return usage();
        return comparePictures(argv[2], argv[3], std::atoi(argv[4]), std::atol(argv[5]));
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "window_probe: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    const int status = run(display, argc, argv);
    XCloseDisplay(display);
    return status;
}
