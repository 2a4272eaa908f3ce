// What the element's tests share: an environment in which GStreamer finds the element of the
// build tree (and keeps its registry and the shows' season file beside the tests), and a show
// whose question is on screen from a known moment.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace gstreamer_test {

// The scenario below: the question is asked at kAsked seconds and on screen from kShown on (the
// frame after the click at least); nothing is drawn before kFirstEvent.
inline constexpr double kFirstEvent = 0.1;
inline constexpr double kAsked = 0.4;
inline constexpr double kShown = 0.5;

// Points GStreamer at the build tree's element before it starts.
inline void UseBuildTreeElement() {
    setenv("GST_PLUGIN_PATH", ASKGAME_GST_DIR, 1);
    setenv("GST_REGISTRY", ASKGAME_GST_TEST_DIR "/registry.bin", 1);
    setenv("XDG_DATA_HOME", ASKGAME_GST_TEST_DIR "/xdg-data", 1);
    setenv("ASKGAME_ACP", "65001", 1); // the bank below is UTF-8
    unsetenv("DISPLAY");
}

// A folder of the running test's own holding bank.txt and show.json, a free-mode scenario that
// loads the bank and lets viewers see the questions at kFirstEvent and asks the first one (in
// Chinese) at kAsked. Returns the scenario's path.
inline std::string WriteShow() {
    const std::string folder =
        testing::TempDir() + "gst-" + testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/bank.txt") << "[问题]\n哪颗行星是红色的？ A 火星 B 金星\n[答案]\nA\n";
    std::ofstream(folder + "/show.json")
        << R"({ "mode": "free", "fps": 25, "duration": 5, "lcid": 2052, "events": [
             { "at": )"
        << kFirstEvent << R"(, "bank": "bank.txt" },
             { "at": )"
        << kFirstEvent << R"(, "option": "OptShowQuestion", "selected": true },
             { "at": )"
        << kAsked << R"(, "click": "ButtonShowQue" } ] })";
    return folder + "/show.json";
}

} // namespace gstreamer_test
