// Frames on their way in and out of the host: the test card, PNG stills and the
// ffmpeg pipes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "hosting/frame_io.h"
#include "hosting/live_output.h"
#include "hosting/png_sequence.h"
#include "hosting/png_still.h"
#include "hosting/test_card.h"

namespace {

using hosting::Frame;

Frame Card(int w, int h, long index) {
    Frame frame = *hosting::MakeFrame(w, h);
    hosting::TestCard(w, h).Draw(index, frame);
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

// The card painted pixel by pixel, layer over layer: backdrop, bars, ball, ticker. The real
// card writes each pixel once from prepared rows; both must agree everywhere.
std::array<BYTE, 3> ReferencePixel(int w, int h, long index, long x, long y) {
    static constexpr std::array<BYTE, 3> bars[] = {{191, 191, 191}, {0, 191, 191}, {191, 191, 0},
                                                   {0, 191, 0},     {191, 0, 191}, {0, 0, 191},
                                                   {191, 0, 0}};
    auto bounce = [](long steps, long span) {
        if (span <= 0) return 0L;
        const long phase = steps % (2 * span);
        return phase <= span ? phase : 2 * span - phase;
    };
    const int t = h > 1 ? int(y) * 255 / (h - 1) : 0;
    std::array<BYTE, 3> c{BYTE(90 + t / 4), BYTE(30 + t / 10), BYTE(20 + t / 3)};
    const long barWidth = std::max(1, w / 7);
    if (y >= h / 3 && y < h * 2 / 3) c = bars[((x + index * 2) / barWidth) % 7];
    const long side = std::max(2, h / 8);
    const long left = bounce(index * 7, w - side), top = bounce(index * 5, h - side);
    if (x >= left && x < left + side && y >= top && y < top + side) c = {235, 235, 235};
    const long tickerTop = h * 2 / 3 + 4;
    if (y >= tickerTop && y < tickerTop + std::max(2, h / 60) && x < w * (index % 25 + 1) / 25)
        c = {40, 200, 255};
    return c;
}

TEST(TestCard, EveryPixelMatchesTheLayeredPicture) {
    // Sizes where the ball crosses the ticker, the bar period does not divide the width, and
    // the parts overlap or fall off a tiny frame.
    for (auto [w, h] : {std::pair{320, 240}, {101, 37}, {17, 3}, {1, 1}, {64, 16}}) {
        for (long index : {0L, 1L, 24L, 37L, 333L, 100001L}) {
            const Frame frame = Card(w, h, index);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const BYTE* p = frame.Row(y) + x * 4;
                    const auto want = ReferencePixel(w, h, index, x, y);
                    ASSERT_TRUE(p[0] == want[0] && p[1] == want[1] && p[2] == want[2] &&
                                p[3] == 0xFF)
                        << w << "x" << h << " frame " << index << " at " << x << "," << y;
                }
        }
    }
}

TEST(TestCard, OddAndTinySizesStayInsideTheFrame) {
    for (auto [w, h] : {std::pair{16, 16}, {17, 3}, {1, 1}, {641, 479}}) {
        Frame frame = *hosting::MakeFrame(w, h);
        for (long i : {0L, 1L, 999L})
            hosting::TestCard(w, h).Draw(i, frame);
        EXPECT_EQ(frame.pixels.size(), std::size_t(w) * h * 4);
    }
}

TEST(Frame, UnusableSizesMakeNoFrame) {
    EXPECT_FALSE(hosting::MakeFrame(0, 10));
    EXPECT_FALSE(hosting::MakeFrame(10, -1));
}

TEST(PngStill, WrittenStillReadsBackAsTheSamePicture) {
    const std::string path = TempDir() + "/still.png";
    const Frame frame = Card(96, 54, 7);
    std::string error;
    ASSERT_TRUE(hosting::WritePng(frame, path, &error)) << error;
    const auto read = hosting::ReadPng(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->width, 96);
    EXPECT_EQ(read->height, 54);
    EXPECT_EQ(read->pixels, frame.pixels);
}

TEST(PngStill, UnwritablePathIsReported) {
    std::string error;
    EXPECT_FALSE(hosting::WritePng(Card(16, 16, 0), "/nonexistent-folder/x.png", &error));
    EXPECT_FALSE(error.empty());
}

TEST(PngSequence, FramesWrittenSideBySideEachReadBackUnderTheirNumber) {
    const std::string folder = TempDir() + "/sequence";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    constexpr long kFrames = 13; // more than the writers' buffers, so Put() has to wait
    {
        hosting::PngSequenceSink sink(folder, 3);
        for (long i = 1; i <= kFrames; ++i)
            ASSERT_TRUE(sink.Put(Card(40, 24, i)));
        std::string error;
        EXPECT_TRUE(sink.Close(error)) << error;
        EXPECT_TRUE(sink.Close(error)) << "a second Close";
    }
    for (long i = 1; i <= kFrames; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06ld.png", i);
        const auto read = hosting::ReadPng(folder + name);
        ASSERT_TRUE(read) << name;
        EXPECT_EQ(read->pixels, Card(40, 24, i).pixels) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder + "/frame-000014.png"));
}

TEST(PngSequence, AFrameThatCannotBeWrittenStopsTheSequenceAndIsReported) {
    hosting::PngSequenceSink sink("/nonexistent-folder", 2);
    bool refused = false;
    // The failure surfaces once a writer met it; Put() then refuses every further frame.
    for (int i = 0; i < 100 && !refused; ++i)
        refused = !sink.Put(Card(16, 16, i));
    EXPECT_TRUE(refused);
    std::string error;
    EXPECT_FALSE(sink.Close(error));
    EXPECT_NE(error.find("/nonexistent-folder/frame-"), std::string::npos) << error;
}

// Mean absolute difference per colour byte (alpha left out): small for a faithful encode, large
// for swapped channels or chroma planes.
double MeanColourError(const Frame& a, const Frame& b) {
    double sum = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        if (i % hosting::kBytesPerPixel != 3) sum += std::abs(int(a.pixels[i]) - int(b.pixels[i]));
    return sum / (double(a.pixels.size()) * 3 / hosting::kBytesPerPixel);
}

TEST(FfmpegPipes, WriterProducesAVideoTheReaderPlaysBackInItsColours) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string path = TempDir() + "/clip.mp4";
    std::string error;
    {
        hosting::FfmpegWriter writer;
        ASSERT_TRUE(writer.Open(path, 320, 240, 10, error)) << error;
        for (long i = 0; i < 10; ++i)
            ASSERT_TRUE(writer.Put(Card(320, 240, i)));
        // A frame of another size is refused, not sent as a torn picture.
        EXPECT_FALSE(writer.Put(Card(64, 48, 0)));
        EXPECT_FALSE(writer.Close(error));
        EXPECT_NE(error.find("size differs"), std::string::npos) << error;
    }
    {
        hosting::FfmpegWriter writer;
        ASSERT_TRUE(writer.Open(path, 320, 240, 10, error)) << error;
        for (long i = 0; i < 10; ++i)
            ASSERT_TRUE(writer.Put(Card(320, 240, i)));
        ASSERT_TRUE(writer.Close(error)) << error;
    }

    hosting::FfmpegReader reader;
    ASSERT_TRUE(reader.Open(path, 320, 240, 10, error)) << error;
    Frame frame = *hosting::MakeFrame(320, 240);
    int frames = 0;
    while (reader.Next(frame)) {
        EXPECT_LT(MeanColourError(frame, Card(320, 240, frames)), 4.0) << "frame " << frames;
        ++frames;
    }
    EXPECT_EQ(frames, 10);
}

TEST(FfmpegPipes, ReaderRefusesMissingAndNonVideoFiles) {
    std::string error;
    hosting::FfmpegReader missing;
    EXPECT_FALSE(missing.Open("/nonexistent/video.mp4", 64, 48, 10, error));
    EXPECT_NE(error.find("no such video"), std::string::npos) << error;

    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const std::string text = TempDir() + "/not-a-video.mp4";
    FILE* f = std::fopen(text.c_str(), "w");
    std::fputs("hello", f);
    std::fclose(f);
    hosting::FfmpegReader bad;
    EXPECT_FALSE(bad.Open(text, 64, 48, 10, error));
    EXPECT_NE(error.find("not a readable video"), std::string::npos) << error;
}

TEST(LiveOutput, EachKindOfOutputGetsItsFormat) {
    using Args = std::vector<std::string>;
    auto tail = [](const Args& args, std::size_t n) { return Args(args.end() - n, args.end()); };
    EXPECT_EQ(tail(hosting::OutputArguments("rtmp://example/live"), 3),
              (Args{"-f", "flv", "rtmp://example/live"}));
    EXPECT_EQ(tail(hosting::OutputArguments("srt://127.0.0.1:9000"), 3),
              (Args{"-f", "mpegts", "srt://127.0.0.1:9000"}));
    // A device takes raw pictures and never sound; a file named like an option stays a file.
    EXPECT_EQ(
        hosting::OutputArguments("/dev/video10", true),
        (Args{"-an", "-c:v", "rawvideo", "-pix_fmt", "yuv420p", "-f", "v4l2", "/dev/video10"}));
    EXPECT_EQ(hosting::OutputArguments("-y.mp4").back(), "file:-y.mp4");
    // Files and streams copy the show's H.264, files at a higher quality; sound goes on as AAC
    // where the stream has it, and is left out where it has none.
    const auto has = [](const Args& args, const char* word) {
        return std::find(args.begin(), args.end(), word) != args.end();
    };
    EXPECT_TRUE(has(hosting::OutputArguments("rtmp://example/live", true), "copy"));
    EXPECT_TRUE(has(hosting::OutputArguments("rtmp://example/live", true), "aac"));
    EXPECT_TRUE(has(hosting::OutputArguments("show.mp4", false), "-an"));
    EXPECT_FALSE(hosting::EncodedOutput("/dev/video10"));
    EXPECT_FALSE(hosting::EncodedOutput("preview"));
    EXPECT_GT(hosting::OutputQuality("show.mp4"), 0);
    EXPECT_EQ(hosting::OutputQuality("srt://127.0.0.1:9000"), 0);
    // Network outputs are started again when they fail; files and devices are not.
    EXPECT_TRUE(hosting::RetriedOutput("srt://127.0.0.1:9000"));
    EXPECT_FALSE(hosting::RetriedOutput("show.mp4"));
    EXPECT_FALSE(hosting::RetriedOutput("/dev/video10"));
    // A stream key never reaches the status line or the page.
    EXPECT_EQ(hosting::PublicOutputName("rtmp://live.example/app/sk_SECRET?x=1"),
              "rtmp://live.example/app/…");
    EXPECT_EQ(hosting::PublicOutputName("srt://host:9000?streamid=SECRET"), "srt://host:9000");
}

} // namespace
