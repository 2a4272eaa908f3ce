// The element as a user runs it: gst-launch-1.0 plays the test show over videotestsrc in each
// format the element takes, raw frames go to a file, and the frames are read back as GStreamer
// lays them out. BGRA is the reference: each other format must change the picture in the same
// tiles and nowhere else, and agree with it in colour; gst-inspect-1.0 lists the properties.
// The plug-in's headers come before GLib's, whose TRUE and FALSE macros would rewrite their
// Windows-shaped constants.
#include "adapters/frei0r/filter_settings.h"
#include "hosting/overlay.h"
#include "hosting/picture.h"

#include <gst/gst.h>
#include <gst/video/video.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/gstreamer/tests/element_support.h"

namespace {

using namespace gstreamer_test;

constexpr int kFps = 30;
// Frames of each run: the last, at 0.77 s, has the question on screen.
constexpr int kFrames = 24;
static_assert((kFrames - 1.0) / kFps > kShown + 0.1);
// A tool run that takes longer has hung.
constexpr int kToolSeconds = 60;

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((folder + "/" + tool).c_str(), X_OK) == 0) return true;
    return false;
}

struct ToolRun {
    int status = -1;
    std::string output; // stdout and stderr
};

ToolRun RunTool(const std::string& command) {
    ToolRun run;
    const std::string bounded = "timeout " + std::to_string(kToolSeconds) + " " + command + " 2>&1";
    if (FILE* pipe = popen(bounded.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            run.output.append(buffer, got);
        run.status = pclose(pipe);
    }
    return run;
}

// The frames of one run, laid out as GStreamer lays out raw video of their format and size.
struct Frames {
    GstVideoInfo info{};
    std::vector<std::uint8_t> bytes;

    int Count() const { return int(bytes.size() / GST_VIDEO_INFO_SIZE(&info)); }
    int Width() const { return GST_VIDEO_INFO_WIDTH(&info); }
    int Height() const { return GST_VIDEO_INFO_HEIGHT(&info); }
    // Sample (x, y) of `plane` in frame `frame`, `component` bytes into the sample.
    std::uint8_t At(int frame, int plane, int x, int y, int component = 0) const {
        const std::size_t offset = std::size_t(frame) * GST_VIDEO_INFO_SIZE(&info) +
                                   GST_VIDEO_INFO_PLANE_OFFSET(&info, plane) +
                                   std::size_t(y) * GST_VIDEO_INFO_PLANE_STRIDE(&info, plane) +
                                   std::size_t(x) * GST_VIDEO_INFO_COMP_PSTRIDE(&info, plane) +
                                   component;
        return bytes[offset];
    }
};

// Where a format keeps its samples: planes and the pixels a sample of each covers.
struct Layout {
    int planes;
    int bytesPerSample[3]; // 1 luma, 2 NV12 chroma (U and V), 4 packed
    int subsampling[3];    // 1 full resolution, 2 half width and height
};

Layout LayoutOf(GstVideoFormat format) {
    switch (format) {
    case GST_VIDEO_FORMAT_I420:
        return {3, {1, 1, 1}, {1, 2, 2}};
    case GST_VIDEO_FORMAT_NV12:
        return {2, {1, 2, 0}, {1, 2, 0}};
    default:
        return {1, {4, 0, 0}, {1, 0, 0}};
    }
}

class Pipeline : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        UseBuildTreeElement();
        gst_init(nullptr, nullptr);
    }

    void SetUp() override {
        if (!OnPath("gst-launch-1.0") || !OnPath("gst-inspect-1.0"))
            GTEST_SKIP() << "gst-launch-1.0 is not installed (Debian: gstreamer1.0-tools)";
        scenario_ = WriteShow();
        folder_ = std::filesystem::path(scenario_).parent_path().string();
    }

    // kFrames frames of videotestsrc's `pattern` in `format` through `element` (none: as they
    // come), read back.
    Frames Render(GstVideoFormat format, int width, int height, const std::string& element,
                  const std::string& pattern = "smpte") {
        const char* name = gst_video_format_to_string(format);
        const bool yuv = GST_VIDEO_FORMAT_INFO_IS_YUV(gst_video_format_get_info(format));
        const std::string out = folder_ + "/" + name + "-" + std::to_string(width) + "x" +
                                std::to_string(height) + "-" + std::to_string(renders_++) + ".raw";
        // The element draws in BT.601, so the YUV pictures are BT.601 too, whatever their size.
        const std::string caps =
            std::string("video/x-raw,format=") + name + ",width=" + std::to_string(width) +
            ",height=" + std::to_string(height) + ",framerate=" + std::to_string(kFps) + "/1" +
            (yuv ? ",colorimetry=bt601" : "");
        const ToolRun run =
            RunTool("gst-launch-1.0 -q videotestsrc pattern=" + pattern +
                    " num-buffers=" + std::to_string(kFrames) + " ! " + caps + " ! " +
                    (element.empty() ? "" : element + " ! ") + "filesink location=" + out);
        log_ = run.output;
        EXPECT_EQ(run.status, 0) << run.output;
        Frames frames;
        gst_video_info_set_format(&frames.info, format, width, height);
        std::ifstream file(out, std::ios::binary);
        frames.bytes.assign(std::istreambuf_iterator<char>(file), {});
        EXPECT_EQ(frames.Count(), kFrames) << run.output;
        return frames;
    }

    std::string Game() const { return "askgame scenario=" + scenario_; }

    // The tiles of the overlay's grid (numbered row by row) in which frame `frame` of `game`
    // differs from `plain` in any sample.
    static std::set<int> ChangedTiles(const Frames& plain, const Frames& game, int frame) {
        const int columns =
            (game.Width() + hosting::kInkTileColumns - 1) / hosting::kInkTileColumns;
        const Layout layout = LayoutOf(GST_VIDEO_INFO_FORMAT(&game.info));
        std::set<int> tiles;
        for (int plane = 0; plane < layout.planes; ++plane) {
            const int step = layout.subsampling[plane];
            const int width = GST_VIDEO_INFO_COMP_WIDTH(&game.info, plane);
            const int height = GST_VIDEO_INFO_COMP_HEIGHT(&game.info, plane);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    for (int c = 0; c < layout.bytesPerSample[plane]; ++c)
                        if (game.At(frame, plane, x, y, c) != plain.At(frame, plane, x, y, c)) {
                            tiles.insert((y * step / hosting::kInkTileRows) * columns +
                                         x * step / hosting::kInkTileColumns);
                            break;
                        }
        }
        return tiles;
    }

    std::string scenario_;
    std::string folder_;
    std::string log_;
    int renders_ = 0;
};

// BT.601 studio-range luma and chroma of an RGB pixel, as the element composites into YUV, without
// rounding.
constexpr double kCoefficientScale = 256; // the coefficients are in 256ths
double Luma(double r, double g, double b) {
    using namespace hosting::bt601;
    return kYOffset + (kYr * r + kYg * g + kYb * b) / kCoefficientScale;
}
double ChromaU(double r, double g, double b) {
    using namespace hosting::bt601;
    return kChromaOffset + (kUr * r + kUg * g + kUb * b) / kCoefficientScale;
}
double ChromaV(double r, double g, double b) {
    using namespace hosting::bt601;
    return kChromaOffset + (kVr * r + kVg * g + kVb * b) / kCoefficientScale;
}

struct FormatCase {
    GstVideoFormat format;
    int width;
    int height;
};

class Formats : public Pipeline, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(Formats, TheGameChangesOnlyItsOwnTilesAndAgreesWithBgra) {
    const auto [format, width, height] = GetParam();
    const Frames plain = Render(format, width, height, "");
    const Frames game = Render(format, width, height, Game());
    const Frames plainBgra = Render(GST_VIDEO_FORMAT_BGRA, width, height, "");
    const Frames gameBgra = Render(GST_VIDEO_FORMAT_BGRA, width, height, Game());
    if (HasFailure()) return;
    const int last = kFrames - 1;

    // Before the first event the picture passes as it came; once the question is asked it is
    // drawn across the top of the picture, and most of the picture is still the source's.
    EXPECT_EQ(ChangedTiles(plain, game, 0).size(), 0u);
    const std::set<int> reference = ChangedTiles(plainBgra, gameBgra, last);
    const int columns = (width + hosting::kInkTileColumns - 1) / hosting::kInkTileColumns;
    const int rows = (height + hosting::kInkTileRows - 1) / hosting::kInkTileRows;
    ASSERT_FALSE(reference.empty()) << "the question is not drawn: " << log_;
    EXPECT_LT(reference.size(), std::size_t(columns * rows) / 2);
    EXPECT_LT(*reference.begin() / columns, rows / 3) << "the question starts below the top";

    // Every tile the format changes is one BGRA's game changes too, or its neighbour (ink too
    // faint to change a sample in one format may change one in another): the rest of the
    // picture is byte for byte the source's.
    const std::set<int> changed = ChangedTiles(plain, game, last);
    std::size_t shared = 0;
    for (const int tile : changed) {
        bool near = false;
        const int column = tile % columns, row = tile / columns;
        for (int y = std::max(0, row - 1); y <= std::min(rows - 1, row + 1); ++y)
            for (int x = std::max(0, column - 1); x <= std::min(columns - 1, column + 1); ++x)
                near |= reference.count(y * columns + x) > 0;
        EXPECT_TRUE(near) << "tile " << tile % columns << "," << tile / columns
                          << " changed far from the game";
        shared += reference.count(tile);
    }
    EXPECT_GE(shared * 10, reference.size() * 9) << "the game is drawn in fewer tiles than BGRA's";

    // The colours: what the game did to each pixel (the change from the source) in this format
    // is what it did in BGRA, converted. Chroma is compared per 2 × 2 block where the source is
    // one colour (videotestsrc's bars need not fall on block edges) and the same in both.
    const Layout layout = LayoutOf(format);
    double worstLuma = 0, worstChroma = 0, worstPacked = 0;
    int inkedBlocks = 0; // chroma blocks compared where the game changed the colour
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            double before[3], after[3]; // R, G, B of BGRA's source and result
            for (int c = 0; c < 3; ++c) {
                before[c] = plainBgra.At(last, 0, x, y, 2 - c);
                after[c] = gameBgra.At(last, 0, x, y, 2 - c);
            }
            if (layout.planes == 1) {
                // RGBA: the same bytes as BGRA with red and blue swapped; BGRx: the same colour
                // bytes (the fourth is the source's padding).
                const bool rgb = format == GST_VIDEO_FORMAT_RGBA || format == GST_VIDEO_FORMAT_RGBx;
                const bool padded =
                    format == GST_VIDEO_FORMAT_BGRx || format == GST_VIDEO_FORMAT_RGBx;
                const int order[4] = {rgb ? 2 : 0, 1, rgb ? 0 : 2, 3};
                for (int c = 0; c < (padded ? 3 : 4); ++c)
                    worstPacked =
                        std::max<double>(worstPacked, std::abs(game.At(last, 0, x, y, order[c]) -
                                                               gameBgra.At(last, 0, x, y, c)));
                continue;
            }
            const double lumaChange = game.At(last, 0, x, y) - plain.At(last, 0, x, y);
            const double bgraLumaChange =
                Luma(after[0], after[1], after[2]) - Luma(before[0], before[1], before[2]);
            worstLuma = std::max(worstLuma, std::abs(lumaChange - bgraLumaChange));
        }
    if (layout.planes > 1) {
        const bool nv12 = format == GST_VIDEO_FORMAT_NV12;
        for (int cy = 0; cy < hosting::ChromaSide(height); ++cy)
            for (int cx = 0; cx < hosting::ChromaSide(width); ++cx) {
                const auto sample = [&](const Frames& frames, int component) -> double {
                    return nv12 ? frames.At(last, 1, cx, cy, component)
                                : frames.At(last, 1 + component, cx, cy);
                };
                // The block's U and V in BGRA, before and after, averaged; the source's must be
                // one colour.
                double u[2] = {}, v[2] = {};
                std::vector<double> sourceU, sourceV;
                for (int y = 2 * cy; y < std::min(height, 2 * cy + 2); ++y)
                    for (int x = 2 * cx; x < std::min(width, 2 * cx + 2); ++x)
                        for (int i = 0; i < 2; ++i) {
                            const Frames& bgra = i == 0 ? plainBgra : gameBgra;
                            const double r = bgra.At(last, 0, x, y, 2);
                            const double g = bgra.At(last, 0, x, y, 1);
                            const double b = bgra.At(last, 0, x, y, 0);
                            u[i] += ChromaU(r, g, b);
                            v[i] += ChromaV(r, g, b);
                            if (i == 0) {
                                sourceU.push_back(ChromaU(r, g, b));
                                sourceV.push_back(ChromaV(r, g, b));
                            }
                        }
                const double pixels = double(sourceU.size());
                const auto spread = [](const std::vector<double>& values) {
                    const auto [low, high] = std::minmax_element(values.begin(), values.end());
                    return *high - *low;
                };
                constexpr double kOneColour = 2;
                if (spread(sourceU) > kOneColour || spread(sourceV) > kOneColour ||
                    std::abs(sample(plain, 0) - u[0] / pixels) > kOneColour ||
                    std::abs(sample(plain, 1) - v[0] / pixels) > kOneColour)
                    continue;
                for (double* mean : {u, v})
                    for (int i = 0; i < 2; ++i)
                        mean[i] /= pixels;
                worstChroma = std::max(
                    {worstChroma, std::abs(sample(game, 0) - sample(plain, 0) - (u[1] - u[0])),
                     std::abs(sample(game, 1) - sample(plain, 1) - (v[1] - v[0]))});
                inkedBlocks += u[1] != u[0] || v[1] != v[0];
            }
        EXPECT_GT(inkedBlocks, 0) << "no chroma of the game could be compared";
    }
    // Rounding in the source's conversion and in each composite, a step or two each.
    constexpr double kTolerance = 3;
    EXPECT_LE(worstLuma, kTolerance);
    EXPECT_LE(worstChroma, kTolerance);
    EXPECT_EQ(worstPacked, 0);
}

std::string CaseName(const testing::TestParamInfo<FormatCase>& info) {
    return std::string(gst_video_format_to_string(info.param.format)) + "_" +
           std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
}

INSTANTIATE_TEST_SUITE_P(InPlace, Formats,
                         testing::Values(FormatCase{GST_VIDEO_FORMAT_I420, 640, 360},
                                         FormatCase{GST_VIDEO_FORMAT_I420, 641, 361},
                                         FormatCase{GST_VIDEO_FORMAT_NV12, 641, 361},
                                         FormatCase{GST_VIDEO_FORMAT_RGBA, 641, 361},
                                         FormatCase{GST_VIDEO_FORMAT_BGRx, 640, 360}),
                         CaseName);

TEST_F(Pipeline, UnusableParametersLeaveEveryFrameAsItCameAndSaySo) {
    const Frames plain = Render(GST_VIDEO_FORMAT_I420, 160, 90, "");
    const struct {
        std::string properties;
        std::string reason;
    } cases[] = {
        {"scenario=" + scenario_ + " mode=quiz", "expected free or challenge"},
        {"scenario=" + folder_ + "/missing.json", "missing.json"},
        {"scenario=" + scenario_ + " endpoint=192.0.2.1:8719", "on this machine"},
        {"scenario=" + scenario_ + " language=klingon", "language"},
    };
    for (const auto& [properties, reason] : cases) {
        const Frames game = Render(GST_VIDEO_FORMAT_I420, 160, 90, "askgame " + properties);
        EXPECT_TRUE(game.bytes == plain.bytes) << properties;
        EXPECT_NE(log_.find(reason), std::string::npos) << properties << ": " << log_;
    }
}

TEST_F(Pipeline, InspectListsTheElementWithEveryParameterAsAProperty) {
    const ToolRun run = RunTool("gst-inspect-1.0 askgame");
    ASSERT_EQ(run.status, 0) << run.output;
    for (int i = 0; i < static_cast<int>(frei0r_adapter::Setting::Count); ++i) {
        const auto& info = frei0r_adapter::InfoOf(static_cast<frei0r_adapter::Setting>(i));
        EXPECT_NE(run.output.find(std::string("  ") + info.name + " "), std::string::npos)
            << info.name;
        // gst-inspect wraps nothing of a blurb's first words.
        const std::string opening = std::string(info.explanation).substr(0, 20);
        EXPECT_NE(run.output.find(opening), std::string::npos) << opening;
    }
    for (const char* format : {"I420", "NV12", "BGRA", "RGBA"})
        EXPECT_NE(run.output.find(format), std::string::npos) << format;
}

} // namespace
