#pragma once

// Glyph outlines read with FreeType from a font file that fontconfig finds:
// the Linux program's source of letters.

#include <memory>
#include <string>

#include "app/text/glyph_outline.h"

// Where a face lives: a font file, and the face's number inside it (font
// collections hold several).
struct FaceLocation {
    std::string path;  // empty: no face
    int index = 0;
};

// The HUD's face: Liberation Sans where it is installed, otherwise the face
// that fontconfig chooses for the generic family "sans-serif"; normal weight,
// upright and scalable. An empty path when fontconfig finds none.
FaceLocation findDefaultSansFace();

// An open font file, read glyph by glyph. Not copyable; closes the file
// when it goes. While no face is open every glyph is empty.
class OutlineFace final : public GlyphSource {
public:
    OutlineFace();
    ~OutlineFace() override;
    OutlineFace(const OutlineFace&) = delete;
    OutlineFace& operator=(const OutlineFace&) = delete;

    // Opens the face at location, closing any face open before. Returns
    // false, leaving no face open, when it cannot be read as a scalable font.
    bool open(const FaceLocation& location);

    bool isOpen() const;

    GlyphOutline loadGlyph(char32_t character, double tolerance) const override;

private:
    struct Handles;
    std::unique_ptr<Handles> handles;
};

// The HUD's face (findDefaultSansFace), open. Never null: without a face
// every glyph is empty.
std::unique_ptr<GlyphSource> openFreetypeDefaultFace();
