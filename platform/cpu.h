// Processor features, asked of the processor once per process.
#pragma once

#include "platform/wintypes.h"

inline constexpr DWORD PF_XMMI64_INSTRUCTIONS_AVAILABLE = 10; // SSE2
inline constexpr DWORD PF_AVX2_INSTRUCTIONS_AVAILABLE = 40;

// Nonzero when the processor (and, for AVX2, the operating system) supports the feature.
BOOL IsProcessorFeaturePresent(DWORD feature);
