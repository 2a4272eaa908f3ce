// Row kernels behind AlphaBlendRGBA. All kernels share one signature and give bit-identical
// results; the scalar kernel is the reference.
//
// Preconditions (the caller clips and skips empty work): width > 0; `dst` and `src` each point
// at `width` whole pixels. The rows may not overlap.
#pragma once

#include "platform/wintypes.h"

using BlendRowFn = void (*)(BYTE* dst, const BYTE* src, unsigned width);

void BlendRowScalar(BYTE* dst, const BYTE* src, unsigned width);
// Four pixels a step; the last width mod 4 pixels through the scalar formula.
void BlendRowSse2(BYTE* dst, const BYTE* src, unsigned width);
// Eight pixels a step; the rest through BlendRowSse2. Needs a processor with AVX2.
void BlendRowAvx2(BYTE* dst, const BYTE* src, unsigned width);
#if ASKGAME_BLEND_AVX512
// Sixteen pixels a step, the tail under a mask. Needs a processor with AVX-512 F and BW.
void BlendRowAvx512(BYTE* dst, const BYTE* src, unsigned width);
#endif

enum class BlendKernel { Scalar, Sse2, Avx2, Avx512 };

// The row kernel for `kernel`, or null where this build has none (AVX-512 is built only where
// ASKGAME_BLEND_AVX512 is set). Only call one the processor supports.
BlendRowFn BlendRowFor(BlendKernel kernel);

// Whether this build holds `kernel` and the processor (and system) can run it.
bool KernelRunsHere(BlendKernel kernel);

// The kernel AlphaBlendRGBA uses, chosen once per process from the processor check.
// ASKGAME_BLEND_KERNEL=scalar, =sse2 or =avx2 forces a narrower one, for tests and diagnosis.
BlendKernel ActiveBlendKernel();

// Name of a kernel as the environment variable spells it.
const char* BlendKernelName(BlendKernel kernel);
