// The overlay path against the plain one: sprites drawn on a transparent canvas and composited
// onto a picture in its own format must give what drawing them straight onto the 32-bit picture
// gives, converted the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "hosting/overlay.h"
#include "hosting/yuv_convert.h"
#include "render/blend.h"
#include "render/frame_view.h"

namespace {

using hosting::InkRect;
using hosting::Overlay;
using hosting::PictureView;
using hosting::PixelFormat;

struct Sprite {
    int x, y, width, height;
    std::vector<BYTE> pixels; // bottom-up BGRA
};

// Text-like sprites: fully transparent margins, solid and soft edges, a translucent band.
std::vector<Sprite> SomeSprites(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Sprite> sprites;
    const int spots[][2] = {{-7, -5}, {width - 9, height - 6}, {width / 3, height / 2}, {3, 2}};
    for (const auto& spot : spots) {
        Sprite s{spot[0], spot[1], 21, 13, {}};
        s.pixels.resize(std::size_t(s.width) * s.height * 4);
        for (std::size_t i = 0; i < s.pixels.size(); i += 4) {
            const unsigned pick = random() % 4;
            const BYTE alpha = pick == 0 ? 0 : pick == 1 ? 255 : pick == 2 ? 128 : random() % 256;
            for (int c = 0; c < 3; ++c)
                s.pixels[i + c] = BYTE(random() % 256);
            s.pixels[i + 3] = alpha;
        }
        sprites.push_back(std::move(s));
    }
    return sprites;
}

void DrawAll(const FrameView& frame, const std::vector<Sprite>& sprites) {
    for (const Sprite& s : sprites) {
        RECT dst{s.x, LONG(frame.height) - s.y - s.height, s.x + s.width, LONG(frame.height) - s.y};
        RECT src{0, 0, s.width, s.height};
        AlphaBlendOnto(frame, s.pixels.data(), s.width, s.height, s.width * 4, &dst, &src);
    }
}

// A picture of smooth gradients, opaque, top-down BGRA: smooth, so that its trip through I420
// and back changes it by rounding only, as with a camera's picture.
std::vector<BYTE> SomePicture(int width, int height) {
    std::vector<BYTE> bgra(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &bgra[(std::size_t(y) * width + x) * 4];
            p[0] = BYTE(x * 255 / width);
            p[1] = BYTE(y * 255 / height);
            p[2] = BYTE(64 + (x + y) * 128 / (width + height));
            p[3] = 255;
        }
    return bgra;
}

// The same picture's planes in I420, NV12 or a packed format.
struct Picture {
    PixelFormat format;
    int width, height;
    std::vector<BYTE> y, u, v; // packed formats: all in y

    PictureView View() {
        PictureView view{format, width, height, {}, {}};
        const int cw = hosting::ChromaSide(width);
        view.planes[0] = y.data();
        switch (format) {
        case PixelFormat::I420:
            view.strides[0] = width;
            view.planes[1] = u.data();
            view.planes[2] = v.data();
            view.strides[1] = view.strides[2] = cw;
            break;
        case PixelFormat::Nv12:
            view.strides[0] = width;
            view.planes[1] = u.data();
            view.strides[1] = 2 * cw;
            break;
        case PixelFormat::Bgra:
        case PixelFormat::Rgba:
            view.strides[0] = std::ptrdiff_t(width) * 4;
            break;
        }
        return view;
    }
};

Picture FromBgra(const std::vector<BYTE>& bgra, int width, int height, PixelFormat format) {
    Picture picture{format, width, height, {}, {}, {}};
    if (format == PixelFormat::Bgra || format == PixelFormat::Rgba) {
        picture.y = bgra;
        if (format == PixelFormat::Rgba)
            for (std::size_t i = 0; i < bgra.size(); i += 4)
                std::swap(picture.y[i], picture.y[i + 2]);
        return picture;
    }
    std::vector<BYTE> i420(hosting::I420Bytes(width, height));
    hosting::BgraToI420(bgra.data(), width, height, i420.data());
    const std::size_t luma = std::size_t(width) * height;
    const std::size_t chroma =
        std::size_t(hosting::ChromaSide(width)) * hosting::ChromaSide(height);
    picture.y.assign(i420.begin(), i420.begin() + luma);
    if (format == PixelFormat::I420) {
        picture.u.assign(i420.begin() + luma, i420.begin() + luma + chroma);
        picture.v.assign(i420.begin() + luma + chroma, i420.end());
    } else {
        for (std::size_t i = 0; i < chroma; ++i) {
            picture.u.push_back(i420[luma + i]);
            picture.u.push_back(i420[luma + chroma + i]);
        }
    }
    return picture;
}

int MaxDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    int most = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        most = std::max(most, std::abs(a[i] - b[i]));
    return most;
}

struct Case {
    PixelFormat format;
    int width, height;
};

class CompositeMatchesTheBgraPath : public testing::TestWithParam<Case> {};

// A pixel of the composite may differ from the BGRA path converted by at most 2 in luma and 3 in
// chroma (in the packed formats, by 1): the canvas keeps coverage rounded to 8 bits, and in
// I420 and NV12 the picture under a chroma sample is blended as its mean, not pixel by pixel.
TEST_P(CompositeMatchesTheBgraPath, WithinTheStatedToleranceAndUntouchedOutsideTheInk) {
    const PixelFormat format = GetParam().format;
    const int width = GetParam().width, height = GetParam().height;
    const auto sprites = SomeSprites(width, height, unsigned(width * 31 + height));

    // The picture the YUV planes hold, as 32-bit pixels: the BGRA path draws on exactly that.
    const Picture original = FromBgra(SomePicture(width, height), width, height, format);
    std::vector<BYTE> seen(std::size_t(width) * height * 4);
    if (format == PixelFormat::I420 || format == PixelFormat::Nv12) {
        const Picture i420 = FromBgra(SomePicture(width, height), width, height, PixelFormat::I420);
        std::vector<BYTE> packed = i420.y;
        packed.insert(packed.end(), i420.u.begin(), i420.u.end());
        packed.insert(packed.end(), i420.v.begin(), i420.v.end());
        hosting::I420ToBgra(packed.data(), width, height, seen.data());
    } else {
        seen = SomePicture(width, height);
    }
    DrawAll(HostFrameView(seen.data(), width, -height), sprites);
    const Picture expected = FromBgra(seen, width, height, format);

    Overlay overlay(width, height);
    BYTE* canvas = overlay.Begin();
    ASSERT_NE(canvas, nullptr);
    const FrameView canvasView = HostFrameView(canvas, width, -height);
    ASSERT_TRUE(canvasView.withAlpha);
    DrawAll(canvasView, sprites);
    overlay.FindInk();
    Picture composited = original;
    ASSERT_TRUE(overlay.CompositeOnto(composited.View()));

    const bool packed = format == PixelFormat::Bgra || format == PixelFormat::Rgba;
    EXPECT_LE(MaxDifference(composited.y, expected.y), packed ? 1 : 2);
    EXPECT_LE(MaxDifference(composited.u, expected.u), 3);
    EXPECT_LE(MaxDifference(composited.v, expected.v), 3);

    // Luma or packed pixels outside every ink rectangle are the picture's own.
    const std::size_t bytesPerPixel = packed ? 4 : 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool inked =
                std::any_of(overlay.Ink().begin(), overlay.Ink().end(), [&](const InkRect& r) {
                    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                });
            if (inked) continue;
            const std::size_t at = (std::size_t(y) * width + x) * bytesPerPixel;
            ASSERT_TRUE(
                std::equal(&original.y[at], &original.y[at] + bytesPerPixel, &composited.y[at]))
                << x << "," << y;
        }
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    const char* names[] = {"I420", "Nv12", "Bgra", "Rgba"};
    return std::string(names[int(info.param.format)]) + "_" + std::to_string(info.param.width) +
           "x" + std::to_string(info.param.height);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CompositeMatchesTheBgraPath,
    testing::Values(Case{PixelFormat::I420, 160, 90}, Case{PixelFormat::I420, 67, 33},
                    Case{PixelFormat::Nv12, 160, 90}, Case{PixelFormat::Nv12, 67, 33},
                    Case{PixelFormat::Bgra, 67, 33}, Case{PixelFormat::Rgba, 67, 33}),
    CaseName);

TEST(Overlay, FindsInkInCornersOfOddCanvasesAndClearsItForTheNextFrame) {
    Overlay overlay(131, 37);
    BYTE* canvas = overlay.Begin();
    overlay.FindInk();
    EXPECT_TRUE(overlay.Ink().empty()) << "a fresh canvas holds nothing";

    canvas[(std::size_t(36) * 131 + 130) * 4 + 3] = 1; // the last pixel's coverage alone
    canvas[0] = 1;                                     // the first pixel's blue alone
    overlay.FindInk();
    const std::vector<InkRect> ink(overlay.Ink().begin(), overlay.Ink().end());
    EXPECT_EQ(ink, (std::vector<InkRect>{{0, 0, 64, 16}, {128, 32, 131, 37}}));
    EXPECT_EQ(overlay.InkArea(), 64u * 16 + 3u * 5);

    canvas = overlay.Begin();
    EXPECT_TRUE(std::all_of(canvas, canvas + overlay.Stride() * 37, [](BYTE b) { return b == 0; }));
    overlay.FindInk();
    EXPECT_TRUE(overlay.Ink().empty());
}

// Bands that stay without ink give their pages back after a while (here pages fall across band
// edges: 4000-byte rows); ink drawn beside them, and later on them again, is found all along.
TEST(Overlay, BandsLeftIdleGiveTheirPagesBackAndTakeInkAgain) {
    constexpr int kWidth = 1000, kHeight = 100;
    Overlay overlay(kWidth, kHeight);
    const auto inkAt = [&](BYTE* canvas, int x, int y) {
        canvas[(std::size_t(y) * kWidth + std::size_t(x)) * 4 + 3] = 200;
    };
    for (int frame = 0; frame < 400; ++frame) {
        BYTE* canvas = overlay.Begin();
        ASSERT_TRUE(
            std::all_of(canvas, canvas + overlay.Stride() * kHeight, [](BYTE b) { return b == 0; }))
            << "frame " << frame;
        const bool everywhere = frame < 5 || frame >= 390;
        for (int y = 0; y < kHeight; y += 16)
            if (everywhere || y == 32) inkAt(canvas, 999 - y, y);
        overlay.FindInk();
        ASSERT_EQ(overlay.Ink().size(), everywhere ? 7u : 1u) << "frame " << frame;
        EXPECT_EQ(overlay.Ink()[everywhere ? 2 : 0], (InkRect{960, 32, 1000, 48}));
    }
}

TEST(Overlay, TilesInARowOfInkBecomeOneRunAndGapsSplitIt) {
    Overlay overlay(320, 16);
    BYTE* canvas = overlay.Begin();
    for (int x : {10, 70, 200})
        canvas[std::size_t(x) * 4 + 3] = 255;
    overlay.FindInk();
    const std::vector<InkRect> ink(overlay.Ink().begin(), overlay.Ink().end());
    EXPECT_EQ(ink, (std::vector<InkRect>{{0, 0, 128, 16}, {192, 0, 256, 16}}));
}

TEST(Overlay, RefusesPicturesItCannotCompositeOnto) {
    Overlay overlay(64, 32);
    overlay.Begin();
    std::vector<BYTE> i420(hosting::I420Bytes(64, 32));
    EXPECT_TRUE(overlay.CompositeOnto(hosting::PackedI420(i420.data(), 64, 32)));
    EXPECT_FALSE(overlay.CompositeOnto(hosting::PackedI420(i420.data(), 64, 30)));
    EXPECT_FALSE(
        overlay.CompositeOnto(PictureView{PixelFormat::I420, 64, 32, {i420.data()}, {64}}));
    EXPECT_EQ(Overlay(0, 10).Begin(), nullptr);
    EXPECT_EQ(Overlay(hosting::kMaxOverlaySide + 1, 10).Begin(), nullptr);
    EXPECT_FALSE(hosting::PackedI420Bytes(-2, 2));
    EXPECT_EQ(hosting::PackedI420(nullptr, 4, 4).planes[0], nullptr);
}

} // namespace

namespace {

// The wide step (eight columns at once) and the narrow one (one chroma block) must agree to the
// bit: the picture composited as one rectangle equals it composited two columns at a time.
TEST(Overlay, WideAndNarrowCompositingAgreeToTheBit) {
    constexpr int kWidth = 96, kHeight = 34;
    std::mt19937 random(7);
    std::vector<BYTE> canvas(std::size_t(kWidth) * kHeight * 4);
    for (std::size_t i = 0; i < canvas.size(); i += 4) {
        // Premultiplied pixels as the plug-in leaves them: no colour above the coverage.
        const unsigned pick = random() % 3;
        const BYTE coverage = pick == 0 ? 0 : pick == 1 ? 255 : BYTE(random() % 256);
        for (int c = 0; c < 3; ++c)
            canvas[i + c] = BYTE(coverage ? random() % (coverage + 1) : 0);
        canvas[i + 3] = coverage;
    }
    for (const PixelFormat format : {PixelFormat::I420, PixelFormat::Nv12}) {
        Picture wide = FromBgra(SomePicture(kWidth, kHeight), kWidth, kHeight, format);
        for (BYTE& b : wide.y)
            b = BYTE(random()); // every luma value, against every coverage
        Picture narrow = wide;
        const InkRect whole{0, 0, kWidth, kHeight};
        hosting::CompositeRect(canvas.data(), kWidth * 4, whole, wide.View());
        for (int x = 0; x < kWidth; x += 2)
            hosting::CompositeRect(canvas.data(), kWidth * 4, {x, 0, x + 2, kHeight},
                                   narrow.View());
        EXPECT_EQ(wide.y, narrow.y);
        EXPECT_EQ(wide.u, narrow.u);
        EXPECT_EQ(wide.v, narrow.v);
    }
}

} // namespace
