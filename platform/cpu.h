// Processor features, asked of the processor once per process.
#pragma once

#include "platform/wintypes.h"

inline constexpr DWORD PF_XMMI64_INSTRUCTIONS_AVAILABLE = 10; // SSE2
inline constexpr DWORD PF_AVX2_INSTRUCTIONS_AVAILABLE = 40;

// Nonzero when the processor (and, for AVX2, the operating system) supports the feature.
BOOL IsProcessorFeaturePresent(DWORD feature);

#if !defined(_WIN32)
// Nonzero when the processor has AVX-512 F and BW and the operating system saves the 512-bit
// registers. Windows has no feature flag for BW, so this check is our own.
BOOL ProcessorHasAvx512Bw();
#endif
