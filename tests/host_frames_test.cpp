// Frames on their way in and out of the host: the test card, row flipping, PNG stills and the
// ffmpeg pipes.
#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "host/frame_io.h"
#include "host/png_still.h"
#include "host/test_card.h"

namespace {

using host::Frame;

Frame Card(int w, int h, long index) {
    Frame frame = *host::MakeFrame(w, h);
    host::TestCard(w, h).Draw(index, frame);
    return frame;
}

std::string TempDir() {
    auto dir =
        std::filesystem::temp_directory_path() / ("askgame-host-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

TEST(TestCard, SameIndexSamePictureAndThePictureMoves) {
    const Frame a = Card(320, 240, 12);
    EXPECT_EQ(a.pixels, Card(320, 240, 12).pixels);
    EXPECT_NE(a.pixels, Card(320, 240, 13).pixels);
    // Opaque everywhere, and not one flat colour.
    for (std::size_t i = 3; i < a.pixels.size(); i += 4)
        ASSERT_EQ(a.pixels[i], 0xFF);
    EXPECT_NE(std::memcmp(a.Row(0), a.Row(120), a.RowBytes()), 0);
}

TEST(TestCard, OddAndTinySizesStayInsideTheFrame) {
    for (auto [w, h] : {std::pair{16, 16}, {17, 3}, {1, 1}, {641, 479}}) {
        Frame frame = *host::MakeFrame(w, h);
        for (long i : {0L, 1L, 999L})
            host::TestCard(w, h).Draw(i, frame);
        EXPECT_EQ(frame.pixels.size(), std::size_t(w) * h * 4);
    }
}

TEST(Frame, FlipRowsTurnsThePictureUpsideDownAndBack) {
    const Frame original = Card(64, 5, 3);
    Frame flipped = original;
    host::FlipRows(flipped);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(std::memcmp(flipped.Row(y), original.Row(4 - y), original.RowBytes()), 0);
    host::FlipRows(flipped);
    EXPECT_EQ(flipped.pixels, original.pixels);
}

TEST(Frame, UnusableSizesMakeNoFrame) {
    EXPECT_FALSE(host::MakeFrame(0, 10));
    EXPECT_FALSE(host::MakeFrame(10, -1));
}

TEST(PngStill, WrittenStillReadsBackAsTheSamePicture) {
    const std::string path = TempDir() + "/still.png";
    const Frame frame = Card(96, 54, 7);
    std::string error;
    ASSERT_TRUE(host::WritePng(frame, path, &error)) << error;
    const auto read = host::ReadPng(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width, 96);
    EXPECT_EQ(read->height, 54);
    EXPECT_EQ(read->pixels, frame.pixels);
}

TEST(PngStill, UnwritablePathIsReported) {
    std::string error;
    EXPECT_FALSE(host::WritePng(Card(16, 16, 0), "/nonexistent-folder/x.png", &error));
    EXPECT_FALSE(error.empty());
}

TEST(FfmpegPipes, WriterProducesAVideoTheReaderCanPlayBack) {
    if (!host::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string path = TempDir() + "/clip.mp4";
    std::string error;
    {
        host::FfmpegWriter writer;
        ASSERT_TRUE(writer.Open(path, 64, 48, 10, error)) << error;
        for (long i = 0; i < 10; ++i)
            ASSERT_TRUE(writer.Put(Card(64, 48, i)));
        ASSERT_TRUE(writer.Close(error)) << error;
    }
    ASSERT_GT(std::filesystem::file_size(path), 0u);

    host::FfmpegReader reader;
    ASSERT_TRUE(reader.Open(path, 64, 48, 10, error)) << error;
    Frame frame = *host::MakeFrame(64, 48);
    int frames = 0;
    while (reader.Next(frame))
        ++frames;
    EXPECT_EQ(frames, 10);
}

TEST(FfmpegPipes, ReaderRefusesMissingAndNonVideoFiles) {
    std::string error;
    host::FfmpegReader missing;
    EXPECT_FALSE(missing.Open("/nonexistent/video.mp4", 64, 48, 10, error));
    EXPECT_NE(error.find("no such video"), std::string::npos) << error;

    if (!host::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string text = TempDir() + "/not-a-video.mp4";
    FILE* f = std::fopen(text.c_str(), "w");
    std::fputs("hello", f);
    std::fclose(f);
    host::FfmpegReader bad;
    EXPECT_FALSE(bad.Open(text, 64, 48, 10, error));
    EXPECT_NE(error.find("not a readable video"), std::string::npos) << error;
}

} // namespace
