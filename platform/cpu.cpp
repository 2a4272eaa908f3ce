#include "platform/cpu.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

struct ProcessorFeatures {
    bool sse2 = false;
    bool avx2 = false;
    bool avx512bw = false;
};

ProcessorFeatures AskProcessor() {
    ProcessorFeatures features;
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return features;
    features.sse2 = (edx >> 26) & 1u;

    // AVX2 needs the instructions (leaf 7, EBX bit 5), AVX itself (leaf 1, ECX bit 28) and an
    // operating system that saves the wide registers (OSXSAVE, then XCR0 bits 1 and 2).
    const bool osxsave = (ecx >> 27) & 1u;
    const bool avx = (ecx >> 28) & 1u;
    if (!osxsave || !avx) return features;
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & 0x6u) != 0x6u) return features;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return features;
    features.avx2 = (ebx >> 5) & 1u;

    // AVX-512 F (EBX bit 16) and BW (bit 30), and XCR0 bits 5-7: the mask registers and both
    // halves of the 512-bit state.
    const bool avx512f = (ebx >> 16) & 1u, avx512bw = (ebx >> 30) & 1u;
    features.avx512bw = avx512f && avx512bw && (xcr0Low & 0xE0u) == 0xE0u;
#endif
    return features;
}

const ProcessorFeatures& Features() {
    static const ProcessorFeatures features = AskProcessor();
    return features;
}

} // namespace

BOOL IsProcessorFeaturePresent(DWORD feature) {
    switch (feature) {
    case PF_XMMI64_INSTRUCTIONS_AVAILABLE:
        return Features().sse2 ? TRUE : FALSE;
    case PF_AVX2_INSTRUCTIONS_AVAILABLE:
        return Features().avx2 ? TRUE : FALSE;
    default:
        return FALSE;
    }
}

BOOL ProcessorHasAvx512Bw() {
    return Features().avx512bw ? TRUE : FALSE;
}
