// The live host's media pipes: the Matroska it writes is what ffmpeg reads, what ffmpeg writes
// is what it reads, and nothing an input's ffmpeg could send makes it read past its bounds;
// the show's sound stays one continuous, exactly stamped stream whatever its input does.
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "hosting/avc.h"
#include "hosting/frame_io.h"
#include "hosting/input_decoder.h"
#include "hosting/live_input.h"
#include "hosting/live_output.h"
#include "hosting/matroska.h"
#include "hosting/media_clock.h"
#include "hosting/sound_timeline.h"
#include "hosting/subprocess.h"

namespace {

using Bytes = std::vector<BYTE>;
using namespace std::chrono_literals;

Bytes Written(const hosting::MediaLayout& layout, int pictures) {
    Bytes stream = hosting::MatroskaHeader(layout);
    const Bytes picture(std::size_t(layout.width) * layout.height * 3 / 2, 77);
    const Bytes sound(192, 5);
    for (int i = 0; i < pictures; ++i) {
        hosting::AppendMatroskaBlock(stream, hosting::kVideoTrack, i * 40, picture);
        if (layout.audioRate)
            hosting::AppendMatroskaBlock(stream, hosting::kAudioTrack, i * 40, sound);
    }
    return stream;
}

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    std::size_t got;
    while (pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, got);
    if (pipe) pclose(pipe);
    return out;
}

TEST(Matroska, FfmpegReadsTheHostsStreamWithItsTimes) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const auto path = std::filesystem::temp_directory_path() /
                      ("askgame-media-" + std::to_string(getpid()) + ".mkv");
    const Bytes stream = Written({64, 48, 25, 48000, 2, {}}, 5);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    const std::string probed = Capture(
        "ffprobe -v error -select_streams v -show_entries stream=pix_fmt,width:packet=pts_time "
        "-of csv=p=0 '" +
        path.string() + "'");
    std::filesystem::remove(path);
    EXPECT_NE(probed.find("64,yuv420p"), std::string::npos) << probed;
    EXPECT_NE(probed.find("0.160000"), std::string::npos) << probed; // the fifth picture's time
}

// What an input's ffmpeg passes on over a generated picture with a tone beside it, decoded:
// every picture at the show's size in its colours (copied when it is that size already,
// scaled and converted otherwise), every picture's time, and a second of sound.
class InputDecoding : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(InputDecoding, EveryPictureInItsColoursAndTheSoundBesideIt) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const int width = GetParam().first, height = GetParam().second;
    hosting::LiveInputSettings settings;
    settings.input = "color=c=red:size=80x60:rate=10:duration=1,format=yuv420p";
    settings.width = width;
    settings.height = height;
    auto argv = hosting::LiveInputArguments(settings);
    argv.insert(std::find(argv.begin(), argv.end(), "-i"), {"-f", "lavfi"});
    argv.insert(std::find(argv.begin(), argv.end(), "-map"),
                {"-f", "lavfi", "-i", "sine=frequency=440:duration=1"});
    *std::find(argv.begin(), argv.end(), "0:a:0?") = "1:a:0";
    hosting::Subprocess ffmpeg;
    std::string error;
    ASSERT_TRUE(ffmpeg.Start(argv, hosting::Subprocess::Pipe::FromChild, error)) << error;
    hosting::InputDecoder decoder;
    hosting::PictureConverter converter;
    auto shown = *hosting::MakeI420Picture(width, height);
    const std::vector<BYTE>& i420 = shown.bytes;
    ASSERT_TRUE(decoder.Open([&](BYTE* data, std::size_t size) {
        return ffmpeg.ReadSome(data, size);
    })) << decoder.Error();
    EXPECT_TRUE(decoder.HasSound());
    int pictures = 0;
    std::size_t soundBytes = 0;
    std::int64_t last = -1;
    const auto picture = [&](std::int64_t micros, hosting::DecodedPicture decoded) {
        // Brought to the show's size (on the input's thread, in the host), then copied.
        ASSERT_TRUE(converter.Convert(converter.Resized(decoded, width, height), shown));
        ASSERT_EQ(i420.size(), std::size_t(width) * height + 2 * std::size_t((width + 1) / 2) *
                                                                 std::size_t((height + 1) / 2));
        // Red in BT.601 studio range: Y 81, U 90, V 240.
        const std::size_t chroma = std::size_t(width) * height;
        const std::size_t v = chroma + std::size_t((width + 1) / 2) * std::size_t((height + 1) / 2);
        EXPECT_NEAR(i420[chroma / 2], 81, 2);
        EXPECT_NEAR(i420[chroma + 3], 90, 2);
        EXPECT_NEAR(i420[v + 3], 240, 2);
        EXPECT_GT(micros, last);
        last = micros;
        ++pictures;
    };
    while (decoder.Next(
        picture, [&](std::int64_t, std::span<const BYTE> pcm) { soundBytes += pcm.size(); })) {
    }
    EXPECT_EQ(decoder.Error(), "");
    EXPECT_EQ(ffmpeg.Finish(), 0);
    EXPECT_EQ(pictures, 10);
    EXPECT_EQ(last, 900000);
    EXPECT_NEAR(double(soundBytes), 48000.0 * hosting::kAudioFrameBytes, 48000.0 * 0.05);
}

INSTANTIATE_TEST_SUITE_P(AsTheyCome, InputDecoding, testing::Values(std::pair{80, 60}));
INSTANTIATE_TEST_SUITE_P(Scaled, InputDecoding, testing::Values(std::pair{41, 31}));

// The show's sound, as blocks of (ms, samples).
struct Heard {
    std::vector<std::pair<std::int64_t, std::size_t>> blocks;
    std::vector<BYTE> all;
};

TEST(Avc, StartCodesOfEitherLengthBecomeLengthsAndTheParameterSetsARecord) {
    // A sequence set (type 7) after a four-byte start code, a picture set (8) after a
    // three-byte one with trailing zeros, then a slice (5).
    const Bytes stream = {0,    0,    0,    1,    0x67, 0x64, 0x00, 0x1F, 0xAC, 0,    0,    1,
                          0x68, 0xEE, 0x3C, 0x80, 0,    0,    0,    0,    1,    0x65, 0x88, 0x84};
    const auto units = hosting::AnnexBUnits(stream);
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(Bytes(units[1].begin(), units[1].end()), (Bytes{0x68, 0xEE, 0x3C, 0x80}));
    Bytes prefixed;
    hosting::AppendLengthPrefixed(prefixed, stream);
    EXPECT_EQ(prefixed,
              (Bytes{0, 0,    0,    5,    0x67, 0x64, 0x00, 0x1F, 0xAC, 0,    0,    0,
                     4, 0x68, 0xEE, 0x3C, 0x80, 0,    0,    0,    3,    0x65, 0x88, 0x84}));
    // Version 1, the profile, constraints and level from the sequence set, four-byte lengths,
    // one sequence set, one picture set.
    EXPECT_EQ(hosting::AvcConfiguration(stream),
              (Bytes{1,    0x64, 0x00, 0x1F, 0xFF, 0xE1, 0,    5,    0x67, 0x64,
                     0x00, 0x1F, 0xAC, 1,    0,    4,    0x68, 0xEE, 0x3C, 0x80}));
    // Without a sequence set there is no record; a stream without start codes has no units.
    EXPECT_TRUE(hosting::AvcConfiguration(Bytes{0, 0, 1, 0x68, 0xEE}).empty());
    EXPECT_TRUE(hosting::AnnexBUnits(Bytes{0x65, 0x88, 0, 0}).empty());
}

// Files and streams get the show's pictures encoded once, with their times: a file written
// from red and then blue pictures, one of them left out as a late frame would be, plays back
// red then blue over the show's whole length, and starts at a key picture. A stream beside it
// has an encoding of its own, which takes the show's picture itself: the file's gets a copy.
TEST(LiveOutput, AFileGetsTheShowsPicturesEncodedWithTheirTimes) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const auto path = (std::filesystem::temp_directory_path() /
                       ("askgame-encoded-" + std::to_string(getpid()) + ".mp4"))
                          .string();
    constexpr int kWidth = 96, kHeight = 54;
    hosting::LiveOutput output;
    std::string error;
    ASSERT_TRUE(output.Open({path, "udp://127.0.0.1:9"}, false, {kWidth, kHeight, 10, 0, 2, {}},
                            {"ultrafast", 1}, error))
        << error;
    auto picture = *hosting::MakeI420Picture(kWidth, kHeight);
    const auto paint = [&](BYTE y, BYTE u, BYTE v) {
        const auto view = picture.View();
        for (int row = 0; row < kHeight; ++row)
            std::fill_n(view.planes[0] + row * view.strides[0], kWidth, y);
        for (int row = 0; row < kHeight / 2; ++row) {
            std::fill_n(view.planes[1] + row * view.strides[1], kWidth / 2, u);
            std::fill_n(view.planes[2] + row * view.strides[2], kWidth / 2, v);
        }
    };
    for (int i = 0; i < 20; ++i) {
        if (i == 13) continue; // a late frame: the one before lasts longer
        if (i < 10)
            paint(81, 90, 240);
        else
            paint(41, 240, 110); // red, then blue
        output.PutPicture(picture, i * 100);
        std::this_thread::sleep_for(20ms); // the show's pace, five times over
    }
    output.Close(error); // the stream may have found no one at the discard port
    EXPECT_EQ(output.Health().front().state, hosting::OutputHealth::State::Finished);
    EXPECT_EQ(output.Health().front().pictures, 19);

    const std::string probe = Capture(
        "ffprobe -v error -select_streams v -show_entries frame=key_frame,pts_time -of csv=p=0 '" +
        path + "'");
    EXPECT_EQ(probe.substr(0, 2), "1,") << probe;
    hosting::FfmpegReader reader;
    ASSERT_TRUE(reader.Open(path, kWidth, kHeight, 10, error)) << error;
    auto frame = *hosting::MakeFrame(kWidth, kHeight);
    std::vector<std::array<int, 3>> colours; // the middle pixel's blue, green, red
    while (reader.Next(frame)) {
        const BYTE* pixel = frame.pixels.data() + (kHeight / 2 * kWidth + kWidth / 2) * 4;
        colours.push_back({pixel[0], pixel[1], pixel[2]});
    }
    std::filesystem::remove(path);
    ASSERT_EQ(colours.size(), 20u); // two seconds at 10 a second, the skipped slot filled
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const bool red = i < 10;
        EXPECT_NEAR(colours[i][2], red ? 255 : 0, 12) << "picture " << i;
        EXPECT_NEAR(colours[i][0], red ? 0 : 255, 12) << "picture " << i;
    }
}

TEST(SoundTimeline, StaysContinuousAndExactlyStampedWhateverTheInputDoes) {
    const auto start = hosting::SoundTimeline::Clock::now() - 60s;
    Heard heard;
    hosting::SoundTimeline sound(start, 48000, 2, {},
                                 [&](std::int64_t ms, std::span<const BYTE> pcm) {
                                     heard.blocks.emplace_back(ms, pcm.size() / 4);
                                     heard.all.insert(heard.all.end(), pcm.begin(), pcm.end());
                                 });
    const Bytes tone(1024 * 4, 9); // ffmpeg's block: 1024 samples, 21.33 ms
    // Two blocks that follow on, then one a second later: the gap becomes silence.
    sound.Add(start, tone);
    sound.Add(start + 21333us, tone);
    sound.Add(start + 1000ms, tone);
    // Sound that comes after its moment was filled with silence keeps only what is ahead.
    sound.FillUntil(start + 1500ms);
    sound.Add(start + 1485ms, tone);

    std::int64_t samples = 0;
    for (const auto& [ms, count] : heard.blocks) {
        EXPECT_EQ(ms * 48, samples) << "a block stamped off its place";
        EXPECT_EQ(count % 48, 0u);
        EXPECT_LE(count, 48u * 100 + 1024) << "a block too long";
        samples += std::int64_t(count);
    }
    const auto at = [&](double seconds) { return heard.all[std::size_t(seconds * 48000) * 4]; };
    EXPECT_EQ(at(0.01), 9);
    EXPECT_EQ(at(0.5), 0);   // the gap
    EXPECT_EQ(at(1.01), 9);  // the third block at its moment
    EXPECT_EQ(at(1.495), 0); // given up to silence
    EXPECT_EQ(at(1.503), 9); // what came late, from the end of the silence on
    EXPECT_LT(samples, 48 * 1510);

    // Sound from a source whose clock runs fast never gets ahead of the wall clock.
    heard = {};
    const auto now = hosting::SoundTimeline::Clock::now();
    hosting::SoundTimeline fast(now, 48000, 2, {}, [&](std::int64_t ms, std::span<const BYTE> pcm) {
        heard.blocks.emplace_back(ms, pcm.size() / 4);
    });
    for (int i = 0; i < 50; ++i) // a second's sound, all at once
        fast.Add(now + i * 20ms, Bytes(960 * 4, 9));
    std::int64_t heardMs = 0;
    for (const auto& [ms, count] : heard.blocks)
        heardMs += std::int64_t(count) / 48;
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        hosting::SoundTimeline::Clock::now() - now);
    EXPECT_LE(heardMs, elapsed.count() + 21);
}

// An input whose first block was held up, as a loaded machine does: the blocks after it place
// their moments by the soonest arrival, not by the first, so the sound is not put late for good.
TEST(MediaClock, PlacesBlocksByTheirSoonestArrivalAndFollowsJumps) {
    hosting::MediaClock clock;
    const auto t0 = hosting::MediaClock::Clock::now();
    const auto place = [&](std::int64_t mediaMs, std::chrono::milliseconds arrival) {
        return clock.Place(mediaMs * 1000, t0 + std::chrono::milliseconds(mediaMs) + arrival);
    };
    place(0, 40ms);                        // late first block
    EXPECT_EQ(place(33, 2ms), t0 + 35ms);  // a prompt one moves the mapping
    EXPECT_EQ(place(66, 30ms), t0 + 68ms); // a late one keeps it
    // A source whose clock runs slow is followed within two windows.
    for (std::int64_t ms = 100; ms <= 5000; ms += 100)
        place(ms, std::chrono::milliseconds(2 + ms / 100));
    const auto lag = t0 + 5153ms - place(5100, 53ms); // 51 ms had the mapping stayed put
    EXPECT_GE(lag, 0ms);
    EXPECT_LE(lag, 41ms);
    // A stall or a restart starts a new mapping at once.
    EXPECT_EQ(place(0, 9000ms), t0 + 9000ms);
}

} // namespace
