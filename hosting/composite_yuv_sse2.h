// The vector step of compositing a premultiplied BGRA canvas onto I420 or NV12: eight columns
// of a row pair, that is four chroma samples, at once, with exactly the arithmetic of the plain
// step (hosting/overlay.cpp). Built where the compiler targets SSE2 (every x86-64).
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#define ASKGAME_COMPOSITE_SSE2 1

#include <cstddef>

#include "platform/wintypes.h"

namespace hosting {

inline constexpr int kCompositeSse2Columns = 8;

// `top` and `bottom`: eight canvas pixels of two rows; `lumaTop` and `lumaBottom`: the eight
// luma samples under them; `u` and `v`: the four chroma samples under them, `chromaStep` bytes
// apart (1 for I420; 2 for NV12, where `v` is `u` + 1).
void CompositeYuvSse2(const BYTE* top, const BYTE* bottom, BYTE* lumaTop, BYTE* lumaBottom, BYTE* u,
                      BYTE* v, int chromaStep);

} // namespace hosting

#endif
