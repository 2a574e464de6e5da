#include "tools/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// libpng reports errors by longjmp; nothing between setjmp and the jump may
// need a destructor, so the encoding works on plain pointers only.
bool encode(std::FILE* file, int width, int height, png_bytep* rows, char (&message)[256]) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, message,
                                              [](png_structp p, png_const_charp text) {
                                                  auto* out = static_cast<char*>(png_get_error_ptr(p));
                                                  std::snprintf(out, 256, "%s", text);
                                                  png_longjmp(p, 1);
                                              },
                                              nullptr);
    if (png == nullptr) {
        std::snprintf(message, sizeof message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (message[0] == '\0') std::snprintf(message, sizeof message, "out of memory");
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, int width, int height, const unsigned char* rgbBottomUp, std::string& error) {
    // PNG stores the top row first.
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        rows[static_cast<std::size_t>(height - 1 - y)] =
            const_cast<png_bytep>(rgbBottomUp + static_cast<std::size_t>(y) * stride);
    }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    char message[256] = "";
    bool ok = encode(file, width, height, rows.data(), message);
    if (!ok) error = "cannot encode " + path + ": " + message;
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok) std::remove(path.c_str());
    return ok;
}
