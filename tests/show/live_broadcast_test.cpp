// `askgame-host live` where real inputs and outputs push it: frames late on purpose, sound that
// must stay with its pictures, a receiver that dies and comes back, inputs that send nothing.
// Loopback only, every wait bounded.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "host/live.h"
#include "hosting/frame_io.h"
#include "show/chat_support.h"
#include "show/live_process.h"
#include "support/state_schema.h"

namespace {

namespace fs = std::filesystem;
using host::kExitOutputFailed;
using live_test::Capture;
using live_test::DurationOf;
using live_test::HostProcess;
using namespace std::chrono_literals;

fs::path Scratch(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("askgame-broadcast-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::string> ShowArguments(const fs::path& dir, std::vector<std::string> more) {
    std::vector<std::string> argv = {"live",        "--listen",     "127.0.0.1:0",
                                     "--no-season", "--transcript", (dir / "t.txt").string()};
    argv.insert(argv.end(), more.begin(), more.end());
    return argv;
}

// The output's length against the show's wall time on air: equal within 1 %.
void ExpectWallClockLength(const fs::path& video, const HostProcess& show) {
    const double onAir = show.OnAir();
    ASSERT_GT(onAir, 0) << show.Stderr();
    EXPECT_NEAR(DurationOf(video) / onAir, 1.0, 0.01) << video << "\n" << show.Stderr();
}

bool HasSound(const fs::path& video) {
    return Capture("ffprobe -v error -select_streams a -show_entries stream=codec_name -of "
                   "csv=p=0 '" +
                   video.string() + "'")
               .find("aac") != std::string::npos;
}

TEST(LiveBroadcast, LateFramesLeaveTheOutputsAsLongAsTheShow) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path dir = Scratch("late");
    // An encoder too slow for the machine (veryslow at 720p60): frames are skipped and the
    // outputs lag, on most machines.
    HostProcess show(dir,
                     ShowArguments(dir, {"--size", "1280x720", "--fps", "60", "--preset",
                                         "veryslow", "--output", (dir / "a.mp4").string(),
                                         "--output", (dir / "b.mkv").string(), "--duration", "4"}));
    ASSERT_EQ(show.Wait(60s), 0) << show.Stderr();
    ExpectWallClockLength(dir / "a.mp4", show);
    ExpectWallClockLength(dir / "b.mkv", show);
    EXPECT_FALSE(HasSound(dir / "a.mp4")) << "the test card has no sound";
    const std::string said = show.Stderr();
    if (said.find(" 0 late") != std::string::npos && said.find("dropped") == std::string::npos)
        GTEST_SKIP() << "this machine kept up: nothing was late, so only plain lengths were seen";
}

// The times (seconds) at which a video turns bright, and at which its sound starts after
// silence, on one timeline as ffmpeg reads the file.
std::vector<double> FlashOnsets(const fs::path& video) {
    const std::string log =
        Capture("ffmpeg -v info -nostats -i '" + video.string() +
                "' -an -vf signalstats,metadata=print:key=lavfi.signalstats.YAVG -f null - 2>&1");
    std::vector<double> onsets;
    std::istringstream lines(log);
    std::string line;
    double time = 0, previous = 0;
    while (std::getline(lines, line)) {
        const auto pts = line.find("pts_time:");
        if (pts != std::string::npos) time = std::atof(line.c_str() + pts + 9);
        const auto yavg = line.find("YAVG=");
        if (yavg == std::string::npos) continue;
        const double luma = std::atof(line.c_str() + yavg + 5);
        if (luma > 128 && previous <= 128) onsets.push_back(time);
        previous = luma;
    }
    return onsets;
}

std::vector<double> ToneOnsets(const fs::path& video) {
    const std::string log =
        Capture("ffmpeg -v info -nostats -i '" + video.string() +
                "' -vn -af silencedetect=noise=-30dB:duration=0.3 -f null - 2>&1");
    std::vector<double> onsets;
    for (auto at = log.find("silence_end: "); at != std::string::npos;
         at = log.find("silence_end: ", at + 1))
        onsets.push_back(std::atof(log.c_str() + at + 13));
    return onsets;
}

TEST(LiveBroadcast, TheInputsSoundStaysWithItsPictures) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path dir = Scratch("sync");
    const fs::path clip = dir / "clip.mp4";
    // A white flash and a 1 kHz tone, both for the first tenth of every second.
    Capture("ffmpeg -v error -f lavfi -i \"color=black:size=320x180:rate=30:duration=8,drawbox=c="
            "white:t=fill:enable='lt(mod(t,1),0.1)'\" -f lavfi -i \"aevalsrc='0.8*sin(2*PI*1000*t)"
            "*lt(mod(t,1),0.1)':s=48000:d=8\" -c:v libx264 -preset veryfast -bf 3 -c:a aac '" +
            clip.string() + "' 2>&1");
    ASSERT_TRUE(fs::exists(clip));
    const fs::path out = dir / "out.mp4";
    HostProcess show(dir,
                     ShowArguments(dir, {"--input", clip.string(), "--size", "320x180", "--fps",
                                         "30", "--output", out.string(), "--duration", "6"}));
    ASSERT_EQ(show.Wait(60s), 0) << show.Stderr();
    ASSERT_TRUE(HasSound(out));
    const auto flashes = FlashOnsets(out);
    const auto tones = ToneOnsets(out);
    ASSERT_GE(flashes.size(), 4u) << show.Stderr();
    ASSERT_GE(tones.size(), 4u);
    // A picture and its sound are on air within a frame period of each other (a millisecond's
    // rounding aside); a flash whose frames a loaded machine skipped shows a frame or two later.
    const double period = 1.0 / 30 + 0.002;
    std::vector<double> gaps; // how much later the picture is than its sound
    for (const double flash : flashes) {
        const auto nearest = *std::min_element(tones.begin(), tones.end(), [&](double a, double b) {
            return std::abs(a - flash) < std::abs(b - flash);
        });
        if (std::abs(nearest - flash) > 0.5) continue; // a flash whose tone was cut off
        EXPECT_GE(flash - nearest, -period) << "the picture came before its sound at " << flash;
        EXPECT_LE(flash - nearest, 3 * period) << "flash at " << flash << ", tone at " << nearest;
        gaps.push_back(std::abs(flash - nearest));
    }
    ASSERT_GE(gaps.size(), 4u);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_LE(gaps[gaps.size() / 2], period);
}

TEST(LiveBroadcast, AMicrophoneJoinsTheCardAndNoAudioLeavesEverySoundOut) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    // ALSA's null device: a microphone that hears silence, on any machine with ALSA's files.
    if (Capture("ffmpeg -v quiet -f alsa -i null -t 0.1 -f null - >/dev/null 2>&1 && echo yes") !=
        "yes\n")
        GTEST_SKIP() << "no ALSA null device here";
    const fs::path dir = Scratch("microphone");
    const auto run = [&](const char* file, std::vector<std::string> more) {
        more.insert(more.end(), {"--size", "320x180", "--output", (dir / file).string(),
                                 "--duration", "3", "--audio", "alsa:null"});
        HostProcess show(dir, ShowArguments(dir, more));
        EXPECT_EQ(show.Wait(30s), 0) << show.Stderr();
        ExpectWallClockLength(dir / file, show);
    };
    run("heard.mp4", {});
    EXPECT_TRUE(HasSound(dir / "heard.mp4"));
    run("silent.mp4", {"--no-audio"});
    EXPECT_FALSE(HasSound(dir / "silent.mp4"));
}

TEST(LiveBroadcast, AReceiverThatDiesAndComesBackLeavesTheOtherOutputWhole) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path dir = Scratch("rtmp");
    const std::string url =
        "rtmp://127.0.0.1:" + std::to_string(chat_test::FreePort()) + "/live/secret-key";
    const auto receive = [&](const char* file, int seconds) {
        return std::thread([=] {
            Capture("timeout " + std::to_string(seconds) + " ffmpeg -v error -listen 1 -i '" + url +
                    "' -c copy -y '" + (dir / file).string() + "' 2>&1");
        });
    };
    std::thread first = receive("first.flv", 4); // dies 4 s in, mid-show
    std::this_thread::sleep_for(300ms);
    HostProcess show(
        dir, ShowArguments(dir, {"--size", "320x180", "--preset", "ultrafast", "--output", url,
                                 "--output", (dir / "beside.mp4").string(), "--duration", "11"}));
    std::this_thread::sleep_for(5s);
    std::thread second = receive("second.flv", 12);
    EXPECT_EQ(show.Wait(60s), 0) << show.Stderr();
    first.join();
    second.join();
    ExpectWallClockLength(dir / "beside.mp4", show);
    EXPECT_GT(DurationOf(dir / "second.flv"), 2.0) << "the stream did not come back";
    const std::string said = show.Stderr();
    EXPECT_NE(said.find("rtmp://127.0.0.1"), std::string::npos) << said;
    EXPECT_EQ(said.find("secret-key"), std::string::npos) << "the stream key was shown";
}

// A FIFO that sends `seconds` of pictures and then holds its end open, sending nothing, as
// long as the object lives (at most 30 s).
class StallingWriter {
public:
    StallingWriter(const fs::path& fifo, int seconds) {
        const std::string script =
            "exec 3>'" + fifo.string() +
            "'; ffmpeg -v error -re -f lavfi -i testsrc=size=320x180:rate=25 -t " +
            std::to_string(seconds) + " -f nut - >&3; exec sleep 30";
        const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP); // ended as a group
        if (posix_spawn(&pid_, argv[0], nullptr, &attributes, const_cast<char**>(argv), environ) !=
            0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
    }
    ~StallingWriter() {
        if (pid_ <= 0) return;
        kill(-pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

TEST(LiveBroadcast, AnInputThatSendsNothingIsReportedAndEndsOrGivesWayToTheCard) {
    if (!hosting::FfmpegAvailable()) GTEST_SKIP() << "ffmpeg is not installed";
    const fs::path dir = Scratch("fifo");
    const fs::path fifo = dir / "camera.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto input = [&](std::vector<std::string> more) {
        more.insert(more.begin(), {"--input", fifo.string(), "--size", "320x180", "--output",
                                   (dir / "out.mp4").string()});
        return ShowArguments(dir, more);
    };
    {
        // No writer at all: the endpoint is up meanwhile, and the show ends saying why.
        HostProcess show(dir, input({"--duration", "30"}));
        EXPECT_GT(show.Port(), 0);
        EXPECT_EQ(show.Wait(15s), 66) << show.Stderr();
        EXPECT_NE(show.Stderr().find("no frame from " + fifo.string() + " for 5 s"),
                  std::string::npos)
            << show.Stderr();
    }
    {
        // Two seconds of pictures, then nothing: the same, well before --duration.
        StallingWriter writer(fifo, 2);
        HostProcess show(dir, input({"--duration", "30"}));
        EXPECT_EQ(show.Wait(20s), 66) << show.Stderr();
        EXPECT_LT(show.OnAir(), 10);
    }
    {
        // With the card standing in, the show goes on to its end, as long as it was told, and
        // its state and page say the input is lost meanwhile.
        StallingWriter writer(fifo, 2);
        HostProcess show(dir,
                         input({"--duration", "9", "--on-input-loss", "card", "--token",
                                "broadcast-token", "--output", "rtmp://127.0.0.1:1/live/key"}));
        httplib::Client client("127.0.0.1", show.Port());
        client.set_bearer_token_auth("broadcast-token");
        nlohmann::json state;
        std::string body;
        chat_test::WaitFor([&] {
            const auto got = client.Get("/api/state");
            body = got ? got->body : "{}";
            state = nlohmann::json::parse(body);
            return state.value("input", nlohmann::json::object()).value("state", "") == "lost";
        });
        EXPECT_EQ(test_support::StateSchemaFaults(body), "");
        EXPECT_EQ(state["input"]["source"], fifo.string()) << body;
        EXPECT_EQ(state["input"]["state"], "lost") << body;
        ASSERT_EQ(state["outputs"].size(), 2u) << body;
        EXPECT_EQ(state["outputs"][0]["state"], "on") << body;
        EXPECT_EQ(state["outputs"][1]["output"], "rtmp://127.0.0.1:1/live/…") << body;
        EXPECT_NE(state["outputs"][1]["state"], "on") << body;
        EXPECT_EQ(show.Wait(30s), kExitOutputFailed) << show.Stderr();
        EXPECT_NE(show.Stderr().find("the test card shows"), std::string::npos) << show.Stderr();
        ExpectWallClockLength(dir / "out.mp4", show);
    }
}

} // namespace
