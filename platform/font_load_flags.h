// How glyphs are loaded from FreeType, in one place so that measurements of the raw library use
// exactly what the GDI layer uses.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

// Outlines only (embedded bitmaps off), so every size looks the same. Light hinting snaps
// horizontal strokes and the x-height to whole pixel rows but leaves shapes and advances as
// designed: at 16–30 px on video this keeps dense CJK strokes crisp and high-contrast through
// chroma subsampling and encoding, where unhinted strokes smear grey and full hinting distorts
// ideographs and advances. The CJK font carries no hinting program, so this is FreeType's
// auto-hinter, which runs about 2.5× the cost of an unhinted load; glyphs are cached, so it is
// paid once per character and size.
inline constexpr FT_Int32 kGlyphLoadFlags = FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP;
