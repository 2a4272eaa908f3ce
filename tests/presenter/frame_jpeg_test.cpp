#include "show/frame_jpeg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

// Before jpeglib.h, whose TRUE and FALSE are macros.
#include "hosting/yuv_convert.h"
#include "show/preview_frames.h"

#include <jpeglib.h>

namespace {

struct Decoded {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* At(int x, int y) const { return &rgb[(y * width + x) * 3]; }
};

Decoded Decode(const std::string& jpeg) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Decoded out{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &out.rgb[info.output_scanline * out.width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

// A 64 × 32 BGRA frame: the top half red, the bottom half blue.
std::vector<std::uint8_t> TwoBands(int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(y * width + x) * 4];
            const bool top = y < height / 2;
            p[0] = top ? 0 : 255; // blue
            p[1] = 0;
            p[2] = top ? 255 : 0; // red
            p[3] = 255;
        }
    return pixels;
}

void ExpectRedOverBlue(const Decoded& image) {
    const std::uint8_t* top = image.At(image.width / 2, image.height / 4);
    const std::uint8_t* bottom = image.At(image.width / 2, image.height * 3 / 4);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_LT(bottom[0], 60);
    EXPECT_GT(bottom[2], 200);
}

TEST(EncodeJpeg, KeepsThePictureInEitherRowOrder) {
    const int width = 64, height = 32;
    std::vector<std::uint8_t> topDown = TwoBands(width, height);
    const std::string jpeg = show::EncodeJpeg({topDown.data(), width, height, width * 4});
    ASSERT_FALSE(jpeg.empty());
    const Decoded image = Decode(jpeg);
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    ExpectRedOverBlue(image);

    // The same picture stored bottom-up, seen from its last row with a negative stride.
    std::vector<std::uint8_t> bottomUp(topDown.size());
    for (int y = 0; y < height; ++y)
        std::copy_n(&topDown[y * width * 4], width * 4, &bottomUp[(height - 1 - y) * width * 4]);
    ExpectRedOverBlue(
        Decode(show::EncodeJpeg({&bottomUp[(height - 1) * width * 4], width, height, -width * 4})));
}

TEST(EncodeJpeg, RefusesFramesItCannotRead) {
    std::vector<std::uint8_t> pixels(16 * 16 * 4);
    EXPECT_TRUE(show::EncodeJpeg({nullptr, 16, 16, 64}).empty());
    EXPECT_TRUE(show::EncodeJpeg({pixels.data(), 0, 16, 64}).empty());
    EXPECT_TRUE(show::EncodeJpeg({pixels.data(), 16, -1, 64}).empty());
    EXPECT_TRUE(show::EncodeJpeg({pixels.data(), 16, 16, 60}).empty());
    EXPECT_TRUE(show::EncodeJpeg({pixels.data(), 70000, 1, 280000}).empty());
}

// The live hosts offer the page their pictures as the encoders take them, in planes with strides
// of their own (GStreamer pads its rows); the preview shows them in their colours.
TEST(PreviewFrames, APictureInPlanesReachesThePageInItsColours) {
    constexpr int kWidth = 64, kHeight = 32, kPadding = 16;
    std::vector<std::uint8_t> i420(hosting::I420Bytes(kWidth, kHeight));
    hosting::BgraToI420(TwoBands(kWidth, kHeight).data(), kWidth, kHeight, i420.data());
    const hosting::PictureView packed = hosting::PackedI420(i420.data(), kWidth, kHeight);

    // The same picture as NV12 with padded rows.
    const int chromaRows = hosting::ChromaSide(kHeight), chromaWidth = hosting::ChromaSide(kWidth);
    std::vector<std::uint8_t> luma((kWidth + kPadding) * kHeight);
    std::vector<std::uint8_t> chroma((2 * chromaWidth + kPadding) * chromaRows);
    for (int y = 0; y < kHeight; ++y)
        std::copy_n(packed.planes[0] + y * kWidth, kWidth, &luma[y * (kWidth + kPadding)]);
    for (int y = 0; y < chromaRows; ++y)
        for (int x = 0; x < chromaWidth; ++x) {
            chroma[y * (2 * chromaWidth + kPadding) + 2 * x] =
                packed.planes[1][y * chromaWidth + x];
            chroma[y * (2 * chromaWidth + kPadding) + 2 * x + 1] =
                packed.planes[2][y * chromaWidth + x];
        }
    const hosting::PictureView nv12{hosting::PixelFormat::Nv12,
                                    kWidth,
                                    kHeight,
                                    {luma.data(), chroma.data()},
                                    {kWidth + kPadding, 2 * chromaWidth + kPadding}};

    for (const hosting::PictureView& picture : {packed, nv12}) {
        show::PreviewFrames preview;
        const show::PreviewFrames::Clock::time_point t0{};
        preview.Jpeg(t0); // a page looks
        preview.Offer(picture, t0);
        const std::string jpeg = preview.Jpeg(t0);
        ASSERT_FALSE(jpeg.empty());
        ExpectRedOverBlue(Decode(jpeg));
    }
}

} // namespace
