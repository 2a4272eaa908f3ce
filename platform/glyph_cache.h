// The process-wide glyph cache: metrics and coverage per (font, size, style, character), so that
// measuring a line never rasterises and re-rendering a text already seen costs copying only.
// Memory is bounded: least recently used glyphs are dropped beyond the limit, so a stream showing
// thousands of distinct viewer names does not grow without end. One mutex guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "platform/font_face.h"

inline constexpr std::size_t kDefaultGlyphCacheBytes = std::size_t{8} << 20;

struct GlyphCacheStats {
    std::size_t bytes = 0; // what the entries cost, bookkeeping included
    std::size_t entries = 0;
    std::size_t limitBytes = 0;
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
};

GlyphCacheStats GetGlyphCacheStats();
// Evicts at once down to the new limit.
void SetGlyphCacheLimit(std::size_t bytes);
void ClearGlyphCache();

// Calls `visit(glyph)` with the cached glyph of `ch` in `font` (loading it on a miss, with its
// coverage when `withCoverage`), or with null when the font lacks it, and returns what `visit`
// returns. `visit` runs under the cache's lock: it should copy and return.
using GlyphVisitor = DWORD (*)(void* context, const GlyphImage* glyph);
DWORD FetchGlyph(FontInstance& font, char32_t ch, bool withCoverage, GlyphVisitor visit,
                 void* context);

template <class F>
DWORD FetchGlyph(FontInstance& font, char32_t ch, bool withCoverage, F&& visit) {
    return FetchGlyph(
        font, ch, withCoverage,
        [](void* context, const GlyphImage* glyph) -> DWORD {
            return (*static_cast<std::remove_reference_t<F>*>(context))(glyph);
        },
        &visit);
}
