// Fonts behind the GDI handles: a face at one size and style (FontInstance), shared by every
// HFONT created with the same arguments, and the glyph record the glyph cache keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi.h"

// What CreateFontW asks for, reduced to what changes the glyphs.
struct FontRequest {
    std::u16string face;
    int height = 0; // > 0 cell height, < 0 em height, 0 the default
    bool bold = false;
    bool italic = false;
};

// A GGO_GRAY8_BITMAP row: the box width rounded up to a multiple of 4 bytes.
constexpr std::size_t CoverageRowBytes(UINT boxWidth) {
    return (std::size_t{boxWidth} + 3) & ~std::size_t{3};
}
constexpr std::size_t CoverageBytes(const GLYPHMETRICS& m) {
    return CoverageRowBytes(m.gmBlackBoxX) * m.gmBlackBoxY;
}
// No glyph bitmap is allowed to exceed this; a glyph that would is treated as missing.
inline constexpr std::size_t kMaxGlyphBytes = std::size_t{64} << 20;

// A glyph's scaled outline, kept from measuring until drawing so that drawing does not load
// (and hint) the glyph a second time.
class GlyphOutline {
public:
    virtual ~GlyphOutline() = default;
    virtual std::size_t Bytes() const = 0;
};

// One glyph: metrics always, coverage once rendered.
struct GlyphImage {
    GLYPHMETRICS metrics{};
    bool hasCoverage = false;   // blank glyphs have it from the start (there is nothing to draw)
    std::vector<BYTE> coverage; // CoverageBytes(metrics) bytes, top row first, levels 0..64
    std::unique_ptr<GlyphOutline> outline; // left by a metrics-only load, used up by rendering
};

// A face at one size and style.
class FontInstance {
public:
    explicit FontInstance(std::uint32_t id) : id_(id) {}
    FontInstance(const FontInstance&) = delete;
    FontInstance& operator=(const FontInstance&) = delete;
    virtual ~FontInstance() = default;

    // Names this face, size and style for the glyph cache; the same arguments get the same id
    // for the life of the process, so glyphs outlive the HFONTs that asked for them.
    std::uint32_t Id() const { return id_; }
    virtual TEXTMETRICW Metrics() const = 0;
    // Fills `out` with the glyph's metrics, and its coverage when `withCoverage`; false when the
    // font has no glyph for `ch` (its .notdef glyph does not count). When `out` holds the outline
    // an earlier metrics-only load of the same glyph left, rendering starts from it. Safe from
    // several threads.
    virtual bool LoadGlyph(char32_t ch, bool withCoverage, GlyphImage& out) = 0;

private:
    std::uint32_t id_;
};

// The shared font for a request; never null while any font is installed. A face that resolves
// to nothing gets the CJK font.
std::shared_ptr<FontInstance> OpenFont(const FontRequest& request);

// Makes `face` (matched exactly) open through `factory` instead of the system's fonts; a null
// factory gives the face back to the system's fonts.
using FontFactory = std::shared_ptr<FontInstance> (*)(const FontRequest& request, std::uint32_t id);
void RegisterFontFace(const std::u16string& face, FontFactory factory);

// The file and face index a face name resolves to (regular style), for measurements that drive
// FreeType directly.
bool FindFontFile(std::u16string_view face, std::string* path, int* index);
