// The host program's own checks: options that are given but empty or zero, a machine without
// ffmpeg, paths ffmpeg could mistake for options, transcript lines a viewer's text cannot forge.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hosting/transcript.h"
#include "support/watched_fifo.h"

namespace {

const std::string kRuntime = ASKGAME_RUNTIME_DIR;

// A scratch folder for one test, removed afterwards.
class Scratch {
public:
    Scratch() {
        static int serial = 0;
        dir_ =
            std::filesystem::temp_directory_path() /
            ("askgame-host-program-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    const std::filesystem::path& dir() const { return dir_; }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path dir_;
};

// Runs the host in `dir` and answers its exit status; `output` gets stdout and stderr.
// `environment` (NAME=VALUE ...) is set for the host alone.
int RunHost(const Scratch& scratch, const std::string& arguments, std::string& output,
            const std::string& environment = "") {
    const std::string log = scratch.Path("host-output.txt");
    const int status = std::system(("cd '" + scratch.dir().string() + "' && " + environment + " " +
                                    kRuntime + "/askgame-host " + arguments + " >" + log + " 2>&1")
                                       .c_str());
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), {});
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr char kShortScenario[] = R"({"mode": "free", "size": "64x64", "fps": 10,
                                      "duration": 0.3, "events": []})";

TEST(HostOptions, AGivenButEmptySizeOrZeroRateIsAnError) {
    const Scratch scratch;
    scratch.Write("s.json", kShortScenario);
    std::string output;
    EXPECT_EQ(RunHost(scratch, "run --scenario s.json --output out/ --fps 0", output), 64);
    EXPECT_NE(output.find("--fps must be from 1 to 120"), std::string::npos) << output;
    EXPECT_EQ(RunHost(scratch, "run --scenario s.json --output out/ --size ''", output), 64);
    EXPECT_NE(output.find("--size \"\": expected WIDTHxHEIGHT"), std::string::npos) << output;
}

// The command line a new user types first: the version, a mistyped command, nothing at all, a
// wrong option, a scenario that is not one; each answered by its own status from <sysexits.h>.
TEST(HostOptions, TheCommandLineSaysWhatWentWrongWithItsOwnStatus) {
    const Scratch scratch;
    std::string output;
    for (const char* version : {"--version", "-V"}) {
        EXPECT_EQ(RunHost(scratch, version, output), 0);
        EXPECT_EQ(output, "askgame-host " ASKGAME_VERSION "\n");
    }
    EXPECT_EQ(RunHost(scratch, "lvie --output x.mp4", output), 64);
    EXPECT_NE(output.find("\"lvie\" is not a command; did you mean \"live\"?"), std::string::npos)
        << output;
    EXPECT_EQ(RunHost(scratch, "", output), 64);
    EXPECT_NE(output.find("Usage: askgame-host"), std::string::npos) << output;
    EXPECT_NE(output.find("74  an output"), std::string::npos) << "no exit statuses: " << output;
    EXPECT_EQ(RunHost(scratch, "live --no-such-option", output), 64) << output;
    EXPECT_EQ(RunHost(scratch, "run --scenario missing.json", output), 66) << output;
    scratch.Write("broken.json", "{\"mode\": ");
    EXPECT_EQ(RunHost(scratch, "run --scenario broken.json", output), 65) << output;
}

// The transcript lists the show's events once each; the plug-in's debug traces reach stderr,
// once each, only when asked for.
TEST(HostOptions, ThePluginsTracesGoToStderrOnlyWithVerbose) {
    const Scratch scratch;
    scratch.Write("s.json", R"({"mode": "challenge", "size": "64x64", "fps": 10, "duration": 0.5,
        "viewers": {"ming": {"id": 7, "name": "Ming"}},
        "events": [{"at": 0.1, "bank": ")" ASKGAME_SOURCE_DIR R"(/data/scenarios/demo-bank.txt"},
                   {"at": 0.15, "gift": "ming", "value": 5},
                   {"at": 0.2, "click": "ButtonShowChallengQue"}]})");
    std::string quiet, verbose;
    ASSERT_EQ(RunHost(scratch, "run --scenario s.json --output out/ --no-season", quiet), 0)
        << quiet;
    const std::string transcript = scratch.Read("out/s.transcript.txt");
    EXPECT_NE(transcript.find("click ButtonShowChallengQue"), std::string::npos) << transcript;
    EXPECT_EQ(transcript.find("trace"), std::string::npos) << transcript;
    EXPECT_EQ(quiet.find("trace:"), std::string::npos) << quiet;

    ASSERT_EQ(
        RunHost(scratch, "run --scenario s.json --output out/ --no-season --verbose", verbose), 0);
    std::vector<std::string> traces;
    std::istringstream lines(verbose);
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with("trace: ")) traces.push_back(line);
    ASSERT_FALSE(traces.empty()) << verbose;
    EXPECT_EQ(std::adjacent_find(traces.begin(), traces.end()), traces.end())
        << "a trace came twice: " << verbose;
}

TEST(HostOptions, ARunRefusesAFifoOrADeviceAsItsScenarioAtOnce) {
    const Scratch scratch;
    const test_support::WatchedFifo fifo(scratch.Path("fifo.json"));
    ASSERT_TRUE(fifo.Made());
    std::string output;
    EXPECT_EQ(RunHost(scratch, "run --scenario fifo.json --output out/", output), 66);
    EXPECT_NE(output.find("fifo.json: the scenario is a FIFO, not a regular file"),
              std::string::npos)
        << output;
    EXPECT_FALSE(fifo.Opened()) << "the host waited for a writer";
    EXPECT_EQ(RunHost(scratch, "run --scenario /dev/zero --output out/", output), 66);
    EXPECT_NE(output.find("/dev/zero: the scenario is a device"), std::string::npos) << output;
}

TEST(HostOptions, WithoutFfmpegALiveShowSaysSoAndARunWritesPngFrames) {
    const Scratch scratch;
    scratch.Write("s.json", kShortScenario);
    const std::string noFfmpeg = "PATH=/nonexistent";
    std::string output;
    EXPECT_EQ(RunHost(scratch, "live --output show.mp4 --no-season", output, noFfmpeg), 69);
    EXPECT_NE(output.find("ffmpeg is not installed"), std::string::npos) << output;
    EXPECT_EQ(
        RunHost(scratch, "run --scenario s.json --output s.mp4 --no-season", output, noFfmpeg), 0)
        << output;
    EXPECT_NE(output.find("writing PNG frames to s-frames instead of s.mp4"), std::string::npos)
        << output;
    EXPECT_TRUE(std::filesystem::exists(scratch.Path("s-frames/frame-000003.png"))) << output;
    EXPECT_FALSE(std::filesystem::exists(scratch.Path("s.mp4")));
}

TEST(HostOptions, AnOutputStartingWithADashIsAFileNotAnOption) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ffmpeg";
    const Scratch scratch;
    scratch.Write("s.json", kShortScenario);
    std::string output;
    EXPECT_EQ(RunHost(scratch, "run --scenario s.json --output -y.mp4", output), 0) << output;
    EXPECT_GT(std::filesystem::file_size(scratch.Path("-y.mp4")), 0u) << output;
}

// A copy of the built tree with one language file cut short and one skin broken.
TEST(HostCheck, NamesEachBrokenFileOfTheInstalledTreeAndWhy) {
    const Scratch scratch;
    const std::filesystem::path tree = scratch.dir() / "install";
    std::filesystem::copy(kRuntime, tree, std::filesystem::copy_options::recursive);
    std::string output;
    const std::string host = (tree / "askgame-host").string();
    ASSERT_EQ(std::system((host + " check >/dev/null 2>&1").c_str()), 0) << "a sound tree";

    std::ofstream(tree / "VideoGames/AskGame/English.xml") << "<language><string ID=\"tipTitle\">Q";
    std::ofstream(tree / "Skin/freeAnwser.xml") << "<Window><Button";
    const int status =
        std::system((host + " check >" + scratch.Path("check.txt") + " 2>&1").c_str());
    std::ifstream in(scratch.Path("check.txt"));
    output.assign(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("broken   " + (tree / "Skin/freeAnwser.xml").string() + ": "),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("English.xml: askgame: language file"), std::string::npos) << output;
    EXPECT_NE(output.find("not well-formed"), std::string::npos) << output;
    EXPECT_NE(output.find("found    " + (tree / "Skin/challengeMode.xml").string()),
              std::string::npos)
        << output;
}

TEST(Transcript, ViewerTextCannotStartALineOfItsOwn) {
    hosting::Transcript transcript;
    const std::string forged = "Ann\n00:01.00 f25    right  Ann answered right\r\x1b[2J\\n";
    transcript.Add("chat", forged);
    transcript.Add("chat", "line\xE2\x80\xA8separator and next\xC2\x85line");
    const std::string all = transcript.ToString();
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 2) << all;
    EXPECT_NE(all.find("Ann\\n00:01.00 f25    right  Ann answered right\\r\\x1B[2J\\\\n"),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("line\\u2028separator and next\\u0085line"), std::string::npos) << all;
    // The record itself keeps the text as it came.
    EXPECT_EQ(transcript.Texts("chat").front(), forged);
    // Other languages' text passes untouched.
    EXPECT_EQ(hosting::EscapeTranscriptText("答案 é"), "答案 é");
}

} // namespace
