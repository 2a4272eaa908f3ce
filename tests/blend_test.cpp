// Blending sprites onto frames: clipping, validation and the formula's consequences.
#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "render/blend.h"
#include "render/placement.h"

namespace {

struct Image {
    Image(unsigned w, unsigned h, std::initializer_list<BYTE> pixel) : width(w), height(h) {
        bytes.resize(std::size_t{w} * h * 4);
        for (std::size_t i = 0; i < bytes.size(); i += 4)
            std::copy(pixel.begin(), pixel.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i));
    }
    BYTE* at(unsigned x, unsigned row) { return &bytes[(std::size_t{row} * width + x) * 4]; }
    int stride() const { return static_cast<int>(width * 4); }
    unsigned width, height;
    std::vector<BYTE> bytes;
};

HRESULT Blend(Image& frame, const Image& sprite, RECT& d, RECT& s) {
    return AlphaBlendRGBA(frame.bytes.data(), frame.width, frame.height, frame.stride(),
                          sprite.bytes.data(), sprite.width, sprite.height, sprite.stride(), &d,
                          &s);
}

TEST(AlphaBlend, ClipsASpriteHangingOffTheLeftEdge) {
    Image frame(640, 480, {0, 0, 0, 0});
    Image sprite(10, 10, {200, 100, 50, 255});
    RECT d{-3, 100, 7, 110}, s{0, 0, 10, 10};
    EXPECT_EQ(Blend(frame, sprite, d, s), S_OK);
    EXPECT_EQ(d, (RECT{0, 100, 7, 110}));
    EXPECT_EQ(s, (RECT{3, 0, 10, 10}));
    EXPECT_EQ(frame.at(6, 100)[0], 199);
    EXPECT_EQ(frame.at(7, 100)[0], 0);
}

TEST(AlphaBlend, ClipsTheTopRightCorner) {
    Image frame(640, 480, {0, 0, 0, 0});
    Image sprite(20, 10, {255, 255, 255, 255});
    RECT d{630, 475, 650, 485}, s{0, 0, 20, 10};
    EXPECT_EQ(Blend(frame, sprite, d, s), S_OK);
    EXPECT_EQ(d, (RECT{630, 475, 640, 480}));
    EXPECT_EQ(s, (RECT{0, 0, 10, 5}));
}

TEST(AlphaBlend, RejectsRectanglesWithoutWritingAByte) {
    Image frame(640, 480, {9, 9, 9, 9});
    const std::vector<BYTE> before = frame.bytes;
    Image sprite(10, 10, {255, 255, 255, 255});
    const RECT cases[][2] = {
        {{-10, 0, 0, 10}, {0, 0, 10, 10}},   // wholly left of the picture
        {{640, 0, 650, 10}, {0, 0, 10, 10}}, // wholly right
        {{0, 480, 10, 490}, {0, 0, 10, 10}}, // wholly above
        {{0, 0, 10, 10}, {0, 0, 11, 10}},    // source wider than the sprite
        {{0, 0, 10, 10}, {0, 0, 9, 10}},     // sizes differ
        {{10, 10, 0, 0}, {10, 10, 0, 0}},    // inverted alike
        {{INT_MIN, 0, INT_MIN + 10, 10}, {0, 0, 10, 10}},
        {{INT_MAX - 5, 0, INT_MAX, 10}, {0, 0, 5, 10}},
        {{-5, INT_MIN, 5, INT_MAX}, {0, 0, 10, 10}},
    };
    for (const auto& c : cases) {
        RECT d = c[0], s = c[1];
        EXPECT_EQ(Blend(frame, sprite, d, s), E_INVALIDARG)
            << d.left << "," << d.top << "," << d.right << "," << d.bottom;
    }
    EXPECT_EQ(frame.bytes, before);
}

TEST(AlphaBlend, NullPointersAreRefused) {
    Image frame(4, 4, {0, 0, 0, 0});
    RECT d{0, 0, 1, 1}, s{0, 0, 1, 1};
    EXPECT_EQ(AlphaBlendRGBA(frame.bytes.data(), 4, 4, 16, nullptr, 1, 1, 4, &d, &s), E_POINTER);
    EXPECT_EQ(AlphaBlendRGBA(nullptr, 4, 4, 16, frame.bytes.data(), 1, 1, 4, &d, &s), E_POINTER);
    EXPECT_EQ(
        AlphaBlendRGBA(frame.bytes.data(), 4, 4, 16, frame.bytes.data(), 1, 1, 4, nullptr, &s),
        E_POINTER);
}

TEST(AlphaBlend, FormulaKeepsTransparentPixelsAndTheFourthByte) {
    Image frame(8, 1, {10, 20, 30, 77});
    Image sprite(8, 1, {255, 255, 255, 0});
    sprite.at(1, 0)[3] = 255;
    sprite.at(2, 0)[3] = 128;
    frame.at(1, 0)[0] = frame.at(1, 0)[1] = frame.at(1, 0)[2] = 0;
    RECT d{0, 0, 8, 1}, s{0, 0, 8, 1};
    ASSERT_EQ(Blend(frame, sprite, d, s), S_OK);
    EXPECT_EQ(frame.at(0, 0)[0], 10);                          // alpha 0: exact
    EXPECT_EQ(frame.at(1, 0)[0], 254);                         // alpha 255 over black: 254, not 255
    EXPECT_EQ(frame.at(1, 0)[3], 77);                          // fourth byte kept
    EXPECT_EQ(frame.at(2, 0)[2], (128 * 30 + 128 * 255) >> 8); // truncated mean
}

TEST(AlphaBlend, EmptyHeightDrawsNothing) {
    Image frame(4, 4, {1, 2, 3, 4});
    Image sprite(4, 4, {255, 255, 255, 255});
    const auto before = frame.bytes;
    RECT d{0, 2, 4, 2}, s{0, 0, 4, 0};
    EXPECT_EQ(Blend(frame, sprite, d, s), S_OK);
    EXPECT_EQ(frame.bytes, before);
}

TEST(Placement, TopDownPositionsBecomeBottomUpRows) {
    BlendRects r = PlaceSprite(0, 0, 20, 10, 480);
    EXPECT_EQ(r.dst, (RECT{0, 470, 20, 480})); // the picture's top ten rows
    EXPECT_EQ(r.src, (RECT{0, 0, 20, 10}));
    r = PlaceSprite(3, 475, 20, 10, 480);
    EXPECT_EQ(r.dst, (RECT{3, -5, 23, 5}));
    r = PlaceSprite(INT_MAX, INT_MIN, 10, 10, 480);
    EXPECT_EQ(r.dst.right, INT_MAX); // saturated, not wrapped
    EXPECT_EQ(r.dst.top, INT_MAX);
}

} // namespace
