#include "hosting/overlay.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include "hosting/composite_yuv_sse2.h"
#include "platform/cpu.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ASKGAME_OVERLAY_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define ASKGAME_OVERLAY_AVX2 1
#endif

namespace hosting {

namespace {

constexpr int kAlphaByte = 3;
constexpr int kHalf = 128; // rounds a sum in 1/256 steps to the nearest step
constexpr int kFullWeight = 256;

// Coverage 0..255 as a weight out of 256: 255 replaces the picture entirely.
int Weight(int coverage) {
    return coverage + (coverage >> 7);
}

BYTE ClampByte(int value) {
    return static_cast<BYTE>(std::clamp(value, 0, 255));
}

// True when any of `bytes` bytes (a multiple of 16) is not 0.
bool AnyInk(const BYTE* p, std::size_t bytes) {
#ifdef ASKGAME_OVERLAY_SSE2
    __m128i any = _mm_setzero_si128();
    for (std::size_t i = 0; i < bytes; i += 16)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
#else
    std::uint64_t any = 0;
    for (std::size_t i = 0; i < bytes; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        any |= word;
    }
    return any != 0;
#endif
}

bool TileHasInkNarrow(const BYTE* canvas, std::size_t stride, int left, int right, int top,
                      int bottom) {
    const std::size_t bytes = static_cast<std::size_t>(right - left) * 4;
    const std::size_t whole = bytes & ~std::size_t{15};
    for (int y = top; y < bottom; ++y) {
        const BYTE* row = canvas + y * stride + static_cast<std::size_t>(left) * 4;
        if (AnyInk(row, whole)) return true;
        for (std::size_t i = whole; i < bytes; ++i)
            if (row[i] != 0) return true;
    }
    return false;
}

using TileHasInkFn = bool (*)(const BYTE* canvas, std::size_t stride, int left, int right, int top,
                              int bottom);

#ifdef ASKGAME_OVERLAY_AVX2
// The same test 32 bytes a load. Besides halving the loads, its instructions are VEX-encoded:
// SSE2 instructions run at about half speed while other code in the process (the plug-in's
// AVX-512 blend, for one) has left the upper halves of the vector registers in use, and the
// search reads the whole canvas every frame. The compiler clears those halves on return.
__attribute__((target("avx2"))) bool TileHasInkAvx2(const BYTE* canvas, std::size_t stride,
                                                    int left, int right, int top, int bottom) {
    const std::size_t bytes = static_cast<std::size_t>(right - left) * 4;
    const std::size_t whole = bytes & ~std::size_t{31};
    for (int y = top; y < bottom; ++y) {
        const BYTE* row = canvas + y * stride + static_cast<std::size_t>(left) * 4;
        __m256i any = _mm256_setzero_si256();
        for (std::size_t i = 0; i < whole; i += 32)
            any =
                _mm256_or_si256(any, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + i)));
        if (!_mm256_testz_si256(any, any)) return true;
        for (std::size_t i = whole; i < bytes; ++i)
            if (row[i] != 0) return true;
    }
    return false;
}
#endif

// The widest search the processor runs, chosen once. ASKGAME_BLEND_KERNEL=scalar or =sse2, the
// switch that narrows the blend's kernel for tests and diagnosis, keeps this one narrow too.
TileHasInkFn ChooseTileHasInk() {
#ifdef ASKGAME_OVERLAY_AVX2
    const char* forced = std::getenv("ASKGAME_BLEND_KERNEL");
    const bool narrowed =
        forced && (std::strcmp(forced, "scalar") == 0 || std::strcmp(forced, "sse2") == 0);
    if (!narrowed && IsProcessorFeaturePresent(PF_AVX2_INSTRUCTIONS_AVAILABLE))
        return TileHasInkAvx2;
#endif
    return TileHasInkNarrow;
}

bool TileHasInk(const BYTE* canvas, std::size_t stride, int left, int right, int top, int bottom) {
    static const TileHasInkFn chosen = ChooseTileHasInk();
    return chosen(canvas, stride, left, right, top, bottom);
}

// One pixel of a packed picture: each colour byte weighed by the canvas's coverage.
void CompositePacked(BYTE* out, const BYTE* canvas, const int order[3]) {
    const int weight = Weight(canvas[kAlphaByte]);
    for (int c = 0; c < 3; ++c) {
        BYTE& o = out[order[c]];
        o = ClampByte((o * (kFullWeight - weight) + canvas[c] * kFullWeight + kHalf) >> 8);
    }
}

void CompositePackedRect(const BYTE* canvas, std::size_t canvasStride, const InkRect& rect,
                         const PictureView& picture) {
    static constexpr int kBgra[3] = {0, 1, 2};
    static constexpr int kRgba[3] = {2, 1, 0};
    const int* order = picture.format == PixelFormat::Bgra ? kBgra : kRgba;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const BYTE* in = canvas + y * canvasStride + std::size_t(rect.left) * 4;
        BYTE* out = picture.planes[0] + y * picture.strides[0] + std::ptrdiff_t(rect.left) * 4;
        for (int x = rect.left; x < rect.right; ++x, in += 4, out += 4) {
            std::uint32_t word;
            std::memcpy(&word, in, sizeof word);
            if (word != 0) CompositePacked(out, in, order);
        }
    }
}

// A luma sample under one canvas pixel.
void CompositeLuma(BYTE& y, const BYTE* p) {
    using namespace bt601;
    const int weight = Weight(p[kAlphaByte]);
    y = ClampByte((y * (kFullWeight - weight) + kYOffset * weight + kYr * p[2] + kYg * p[1] +
                   kYb * p[0] + kHalf) >>
                  8);
}

// A chroma sample under the four canvas pixels of its block, whose sums are given.
BYTE CompositeChroma(BYTE sample, int weight, int sumR, int sumG, int sumB, int kr, int kg,
                     int kb) {
    // The canvas's colours are premultiplied, so their mean is the block's colour; the sums are
    // of four pixels, hence the shift by two.
    const int colour = (kr * sumR + kg * sumG + kb * sumB) >> 2;
    return ClampByte(
        (sample * (kFullWeight - weight) + bt601::kChromaOffset * weight + colour + kHalf) >> 8);
}

constexpr int kSkipColumns = 8;

// True when kSkipColumns pixels from `top` and from `bottom` are all transparent black.
bool Transparent(const BYTE* top, const BYTE* bottom) {
    std::uint64_t any = 0;
    for (int i = 0; i < kSkipColumns * 4; i += 8) {
        std::uint64_t a, b;
        std::memcpy(&a, top + i, 8);
        std::memcpy(&b, bottom + i, 8);
        any |= a | b;
    }
    return any == 0;
}

// I420 and NV12: `u` and `v` step by `chromaStep` bytes a sample (1 for I420, 2 for NV12).
void CompositeYuvRect(const BYTE* canvas, std::size_t canvasStride, const InkRect& rect,
                      const PictureView& picture) {
    using namespace bt601;
    const bool nv12 = picture.format == PixelFormat::Nv12;
    BYTE* const uPlane = picture.planes[1];
    BYTE* const vPlane = nv12 ? picture.planes[1] + 1 : picture.planes[2];
    const std::ptrdiff_t chromaStride = picture.strides[1];
    const std::ptrdiff_t vStride = nv12 ? chromaStride : picture.strides[2];
    const int chromaStep = nv12 ? 2 : 1;
    for (int y = rect.top; y < rect.bottom; y += 2) {
        // A picture of odd height ends on a half block: its one row counts twice.
        const bool pair = y + 1 < picture.height;
        const BYTE* top = canvas + y * canvasStride;
        const BYTE* bottom = pair ? top + canvasStride : top;
        BYTE* lumaTop = picture.planes[0] + y * picture.strides[0];
        BYTE* lumaBottom = pair ? lumaTop + picture.strides[0] : nullptr;
        BYTE* u = uPlane + (y / 2) * chromaStride;
        BYTE* v = vPlane + (y / 2) * vStride;
        for (int x = rect.left; x < rect.right; x += 2) {
            // Text leaves most of its tiles' pixels untouched: eight columns of both rows at a
            // time are passed over when they are.
            while (x + kSkipColumns <= rect.right && Transparent(top + x * 4, bottom + x * 4))
                x += kSkipColumns;
            if (x >= rect.right) break;
#ifdef ASKGAME_COMPOSITE_SSE2
            if (pair && x + kCompositeSse2Columns <= rect.right) {
                const std::ptrdiff_t c = std::ptrdiff_t(x / 2) * chromaStep;
                CompositeYuvSse2(top + x * 4, bottom + x * 4, lumaTop + x, lumaBottom + x, u + c,
                                 v + c, chromaStep);
                x += kCompositeSse2Columns - 2;
                continue;
            }
#endif
            const int x1 = x + 1 < picture.width ? x + 1 : x; // likewise an odd width
            const BYTE* p[4] = {top + x * 4, top + x1 * 4, bottom + x * 4, bottom + x1 * 4};
            std::uint32_t words[4];
            for (int i = 0; i < 4; ++i)
                std::memcpy(&words[i], p[i], 4);
            if ((words[0] | words[1] | words[2] | words[3]) == 0) continue;

            CompositeLuma(lumaTop[x], p[0]);
            if (x1 != x) CompositeLuma(lumaTop[x1], p[1]);
            if (lumaBottom) {
                CompositeLuma(lumaBottom[x], p[2]);
                if (x1 != x) CompositeLuma(lumaBottom[x1], p[3]);
            }
            int sumA = 0, sumR = 0, sumG = 0, sumB = 0;
            for (const BYTE* q : p) {
                sumB += q[0];
                sumG += q[1];
                sumR += q[2];
                sumA += q[kAlphaByte];
            }
            // Four coverages out of 255 as one weight out of 256, rounded.
            const int weight = (sumA * 257 + 512) >> 10;
            const std::ptrdiff_t c = std::ptrdiff_t(x / 2) * chromaStep;
            u[c] = CompositeChroma(u[c], weight, sumR, sumG, sumB, kUr, kUg, kUb);
            v[c] = CompositeChroma(v[c], weight, sumR, sumG, sumB, kVr, kVg, kVb);
        }
    }
}

bool PlanesPresent(const PictureView& picture) {
    switch (picture.format) {
    case PixelFormat::I420:
        return picture.planes[0] && picture.planes[1] && picture.planes[2];
    case PixelFormat::Nv12:
        return picture.planes[0] && picture.planes[1];
    case PixelFormat::Bgra:
    case PixelFormat::Rgba:
        return picture.planes[0] != nullptr;
    }
    return false;
}

} // namespace

Overlay::Overlay(int width, int height) {
    if (width < 1 || height < 1 || width > kMaxOverlaySide || height > kMaxOverlaySide) return;
    // At most 2^14 × 2^14 × 4 bytes: no product here wraps.
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) return;
    // Huge pages would turn one drawn pixel into 2 MB of memory to read.
    madvise(pages, bytes, MADV_NOHUGEPAGE);
    canvas_ = std::unique_ptr<BYTE, CanvasUnmap>(static_cast<BYTE*>(pages), CanvasUnmap{bytes});
    width_ = width;
    height_ = height;
    const std::size_t bands = std::size_t(height + kInkTileRows - 1) / kInkTileRows;
    bandInkFrame_.assign(bands, 0);
    bandResident_.assign(bands, false);
}

void CanvasUnmap::operator()(BYTE* pages) const {
    munmap(pages, bytes);
}

BYTE* Overlay::Begin() {
    if (!canvas_) return nullptr;
    for (const InkRect& rect : ink_)
        for (int y = rect.top; y < rect.bottom; ++y)
            std::memset(canvas_.get() + y * Stride() + std::size_t(rect.left) * 4, 0,
                        std::size_t(rect.Width()) * 4);
    ink_.clear();
    ++frame_;
    ReleaseIdleBands();
    return canvas_.get();
}

// Bands that held no ink for a while give their whole pages back: the game has moved on from
// there (a question hidden, a list gone), and those pages read as the zero page again.
void Overlay::ReleaseIdleBands() {
    constexpr long kIdleFrames = 120; // two seconds at 60 frames a second
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    for (std::size_t band = 0; band < bandResident_.size(); ++band) {
        if (!bandResident_[band] || frame_ - bandInkFrame_[band] < kIdleFrames) continue;
        bandResident_[band] = false;
        const std::size_t top = band * kInkTileRows * Stride();
        const std::size_t bottom =
            std::min(std::size_t(height_), (band + 1) * kInkTileRows) * Stride();
        const std::size_t first = (top + page - 1) / page * page, end = bottom / page * page;
        if (end > first) madvise(canvas_.get() + first, end - first, MADV_DONTNEED);
    }
}

void Overlay::FindInk() {
    ink_.clear();
    for (int top = 0; top < height_; top += kInkTileRows) {
        const int bottom = std::min(height_, top + kInkTileRows);
        InkRect run{0, top, 0, bottom};
        for (int left = 0; left < width_; left += kInkTileColumns) {
            const int right = std::min(width_, left + kInkTileColumns);
            if (!TileHasInk(canvas_.get(), Stride(), left, right, top, bottom)) continue;
            if (run.right == left && run.right > run.left) {
                run.right = right; // the tile continues the run
            } else {
                if (run.right > run.left) ink_.push_back(run);
                run.left = left;
                run.right = right;
            }
        }
        if (run.right > run.left) ink_.push_back(run);
        if (!ink_.empty() && ink_.back().top == top) {
            bandInkFrame_[std::size_t(top / kInkTileRows)] = frame_;
            bandResident_[std::size_t(top / kInkTileRows)] = true;
        }
    }
}

std::size_t Overlay::InkArea() const {
    std::size_t area = 0;
    for (const InkRect& rect : ink_)
        area += std::size_t(rect.Width()) * std::size_t(rect.Height());
    return area;
}

bool Overlay::CompositeOnto(const PictureView& picture) const {
    if (!canvas_ || picture.width != width_ || picture.height != height_ || !PlanesPresent(picture))
        return false;
    for (const InkRect& rect : ink_)
        CompositeRect(canvas_.get(), Stride(), rect, picture);
    return true;
}

void CompositeRect(const BYTE* canvas, std::size_t canvasStride, const InkRect& rect,
                   const PictureView& picture) {
    if (picture.format == PixelFormat::I420 || picture.format == PixelFormat::Nv12)
        CompositeYuvRect(canvas, canvasStride, rect, picture);
    else
        CompositePackedRect(canvas, canvasStride, rect, picture);
}

} // namespace hosting
