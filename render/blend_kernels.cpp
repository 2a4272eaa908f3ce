#include "render/blend_kernels.h"

BlendRowFn BlendRowFor(BlendKernel kernel) {
    switch (kernel) {
    case BlendKernel::Scalar:
        return BlendRowScalar;
    case BlendKernel::Sse2:
        return BlendRowSse2;
    case BlendKernel::Avx2:
        return BlendRowAvx2;
    case BlendKernel::Avx512:
#if ASKGAME_BLEND_AVX512
        return BlendRowAvx512;
#else
        return nullptr;
#endif
    }
    return nullptr;
}
