#pragma once

#include <string>

// Writes an 8-bit RGB picture of width x height pixels as a PNG file.
// rgbBottomUp holds the rows from the bottom of the picture upwards, three
// bytes per pixel and no padding, as OpenGL reads them back. Returns false
// with a one-line reason in error when the file cannot be written; a file
// left half-written is removed.
bool writePng(const std::string& path, int width, int height, const unsigned char* rgbBottomUp, std::string& error);
