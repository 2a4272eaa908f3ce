// The element in this process, driven through GStreamer's test harness buffer by buffer, and the
// two pieces it adds to the frei0r filter's machinery: the frame times and the lookup of the
// plug-in from a module under a multiarch folder.
// The plug-in's headers come before GLib's, whose TRUE and FALSE macros would rewrite their
// Windows-shaped constants.
#include "adapters/frei0r/shared_plugin.h"

#include <gst/check/gstharness.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "adapters/gstreamer/frame_times.h"
#include "adapters/gstreamer/tests/element_support.h"

namespace {

using gstreamer_adapter::FrameTimes;
using namespace gstreamer_test;

// ---- Frame times

TEST(FrameTimes, StreamTimesAreKeptAndFramesWithoutOneAreCountedAtTheNegotiatedRate) {
    FrameTimes times;
    times.SetRate(30, 1);
    EXPECT_DOUBLE_EQ(times.Next(std::nullopt), 0) << "a stream without timestamps starts at 0";
    EXPECT_DOUBLE_EQ(times.Next(std::nullopt), 1.0 / 30);
    EXPECT_DOUBLE_EQ(times.Next(2.5), 2.5);
    EXPECT_DOUBLE_EQ(times.Next(std::nullopt), 2.5 + 1.0 / 30) << "counted on from the last";
    times.SetRate(30000, 1001);
    EXPECT_DOUBLE_EQ(times.Next(std::nullopt), 2.5 + 1.0 / 30 + 1001.0 / 30000);
    times.Restart();
    EXPECT_DOUBLE_EQ(times.Next(std::nullopt), 0);

    // A variable rate (0/1) and rates no caps should carry count at the fallback rate.
    for (const auto& [numerator, denominator] : {std::pair{0, 1}, {-30, 1}, {30, 0}, {1, -1}}) {
        FrameTimes odd;
        odd.SetRate(numerator, denominator);
        odd.Next(1.0);
        EXPECT_DOUBLE_EQ(odd.Next(std::nullopt), 1.0 + 1 / gstreamer_adapter::kUnknownRateFps)
            << numerator << "/" << denominator;
    }
}

// ---- Where a module under a multiarch folder finds the plug-in

TEST(RunnableFolder, AModuleUnderAMultiarchFolderFindsThePackagesFolderTwoLevelsUp) {
    namespace fs = std::filesystem;
    const fs::path root = fs::canonical(fs::temp_directory_path()) /
                          ("askgame-gst-runnable-" + std::to_string(getpid()));
    fs::remove_all(root);
    const auto touch = [](const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream{file};
    };
    using frei0r_adapter::RunnableFolderOf;

    // Debian: /usr/lib/x86_64-linux-gnu/gstreamer-1.0/ with the package in /usr/lib/askgame/.
    const fs::path debian = root / "debian/usr";
    const fs::path element = debian / "lib/x86_64-linux-gnu/gstreamer-1.0/libgstaskgame.so";
    touch(element);
    EXPECT_EQ(RunnableFolderOf(element.string()), (debian / "lib/bin").string())
        << "nothing installed: the nearest runnable folder, for the loader to name";
    touch(debian / "lib/askgame/libaskgame.so");
    EXPECT_EQ(RunnableFolderOf(element.string()), (debian / "lib/askgame").string());
    // The frei0r filter of the same package, one level up, finds the same folder.
    touch(debian / "lib/frei0r-1/askgame.so");
    EXPECT_EQ(RunnableFolderOf((debian / "lib/frei0r-1/askgame.so").string()),
              (debian / "lib/askgame").string());

    // The build tree: lib/gstreamer-1.0/ beside bin/.
    const fs::path build = root / "build";
    touch(build / "lib/gstreamer-1.0/libgstaskgame.so");
    touch(build / "bin/libaskgame.so");
    EXPECT_EQ(RunnableFolderOf((build / "lib/gstreamer-1.0/libgstaskgame.so").string()),
              (build / "bin").string());

    // Only a folder named lib holds a multiarch folder: elsewhere nothing two levels up counts.
    const fs::path other = root / "other";
    touch(other / "share/x86_64-linux-gnu/gstreamer-1.0/libgstaskgame.so");
    touch(other / "share/askgame/libaskgame.so");
    EXPECT_EQ(RunnableFolderOf(
                  (other / "share/x86_64-linux-gnu/gstreamer-1.0/libgstaskgame.so").string()),
              (other / "share/bin").string());
    fs::remove_all(root);
}

// ---- The element, buffer by buffer

// The test card of the harness: a grey I420 frame, its luma a ramp so that rows differ.
GstBuffer* GreyFrame(const GstVideoInfo& info, std::optional<GstClockTime> pts) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::memset(map.data, 128, map.size);
    for (int y = 0; y < GST_VIDEO_INFO_HEIGHT(&info); ++y)
        std::memset(map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, 0) +
                        y * GST_VIDEO_INFO_PLANE_STRIDE(&info, 0),
                    40 + y % 160, GST_VIDEO_INFO_WIDTH(&info));
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = pts ? *pts : GST_CLOCK_TIME_NONE;
    return buffer;
}

class Element : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        UseBuildTreeElement();
        gst_init(nullptr, nullptr);
    }

    void SetUp() override {
        harness_ = gst_harness_new("askgame");
        ASSERT_TRUE(harness_) << "GStreamer finds no askgame element in " ASKGAME_GST_DIR;
        g_object_set(harness_->element, "scenario", WriteShow().c_str(), nullptr);
    }
    void TearDown() override {
        if (harness_) gst_harness_teardown(harness_);
    }

    // Caps of I420 frames of width × height at `rate` frames a second.
    void Negotiate(int width, int height, int rate) {
        gst_video_info_set_format(&info_, GST_VIDEO_FORMAT_I420, width, height);
        info_.fps_n = rate;
        info_.fps_d = 1;
        GstCaps* caps = gst_video_info_to_caps(&info_);
        gst_harness_set_src_caps(harness_, caps);
    }

    // Passes a frame through the element: true when the game was drawn on it.
    bool Drawn(std::optional<GstClockTime> pts) {
        GstBuffer* in = GreyFrame(info_, pts);
        GstBuffer* original = gst_buffer_copy_deep(in);
        EXPECT_EQ(gst_harness_push(harness_, in), GST_FLOW_OK);
        GstBuffer* out = gst_harness_pull(harness_);
        const bool drawn = out && gst_buffer_memcmp(out, 0, MapOf(original).data(),
                                                    gst_buffer_get_size(original)) != 0;
        if (out) gst_buffer_unref(out);
        gst_buffer_unref(original);
        return drawn;
    }

    static std::vector<guint8> MapOf(GstBuffer* buffer) {
        std::vector<guint8> bytes(gst_buffer_get_size(buffer));
        gst_buffer_extract(buffer, 0, bytes.data(), bytes.size());
        return bytes;
    }

    static GstClockTime At(double seconds) { return GstClockTime(seconds * GST_SECOND); }

    GstHarness* harness_ = nullptr;
    GstVideoInfo info_{};
};

TEST_F(Element, ANewFrameSizeStartsTheShowOverWithThePropertiesItHad) {
    Negotiate(320, 180, 30);
    EXPECT_FALSE(Drawn(At(0))) << "nothing is on screen before the first event";
    EXPECT_TRUE(Drawn(At(kShown + 0.2)));

    // The camera switches to another size mid-stream: a new show of that size, played up to
    // the same moment from the scenario the element was given.
    Negotiate(242, 137, 30);
    EXPECT_TRUE(Drawn(At(kShown + 0.3)));
    gchar* scenario = nullptr;
    g_object_get(harness_->element, "scenario", &scenario, nullptr);
    EXPECT_EQ(std::string(scenario ? scenario : ""), WriteShow());
    g_free(scenario);

    // A property changed while playing takes effect from the next frame: an unusable mode
    // stops the game and frames pass untouched.
    g_object_set(harness_->element, "mode", "quiz", nullptr);
    EXPECT_FALSE(Drawn(At(kShown + 0.4)));
    g_object_set(harness_->element, "mode", "free", nullptr);
    EXPECT_TRUE(Drawn(At(kShown + 0.5)));
}

TEST_F(Element, FramesWithoutTimestampsAreCountedAtTheNegotiatedRate) {
    // The eighth frame without a timestamp is at 0.7 s at 10 frames a second, when the question
    // shows, and at 0.07 s at 100, before anything does.
    constexpr int kFrames = 8;
    static_assert((kFrames - 1) / 10.0 > kShown && (kFrames - 1) / 100.0 < kFirstEvent);
    Negotiate(320, 180, 100);
    bool drawn = false;
    for (int i = 0; i < kFrames; ++i)
        drawn = Drawn(std::nullopt);
    EXPECT_FALSE(drawn) << "at 100 frames a second";

    gst_harness_teardown(harness_);
    harness_ = gst_harness_new("askgame");
    g_object_set(harness_->element, "scenario", WriteShow().c_str(), nullptr);
    Negotiate(320, 180, 10);
    for (int i = 0; i < kFrames; ++i)
        drawn = Drawn(std::nullopt);
    EXPECT_TRUE(drawn) << "at 10 frames a second";
}

} // namespace
