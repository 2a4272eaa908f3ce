// The filter as a video tool sees it: askgame.so opened with dlopen and driven through its
// frei0r entry points, checked against the same scenario played by the host's own game.
#include <dlfcn.h>
// The header declares the entry points without C linkage of its own.
extern "C" {
#include <frei0r.h>
}
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include "adapters/frei0r/filter_instance.h"
#include "adapters/frei0r/filter_settings.h"
#include "adapters/frei0r/shared_plugin.h"
#include "adapters/frei0r/stream_clock.h"
#include "adapters/frei0r/tests/filter_harness.h"
#include "hosting/hosted_game.h"
#include "hosting/player.h"
#include "hosting/test_card.h"
#include "tests/support/free_port.h"
#include "tests/support/state_schema.h"
#include "tests/support/watched_fifo.h"

namespace {

using namespace frei0r_adapter;

// ---- Parameters and the stream clock

TEST(FilterSettings, NamesAndIdsAreTakenAndAnythingElseIsRefused) {
    EXPECT_EQ(ParseGameMode("Challenge"), hosting::GameMode::Challenge);
    EXPECT_EQ(ParseGameMode("free"), hosting::GameMode::Free);
    EXPECT_FALSE(ParseGameMode("quiz"));
    EXPECT_EQ(ParseLanguage("zh_CN"), 2052u);
    EXPECT_EQ(ParseLanguage("ZH-tw"), 1028u);
    EXPECT_EQ(ParseLanguage("1033"), 1033u);
    for (const char* bad : {"", "0", "klingon", "2052x", "-1", "99999999999"})
        EXPECT_FALSE(ParseLanguage(bad)) << bad;
}

TEST(StreamClock, EachToolsTimeBecomesTheSameFrameIndex) {
    EXPECT_EQ(TimeUnitOfCaller("/usr/lib/x86_64-linux-gnu/libavfilter.so.8"),
              TimeUnit::Milliseconds);
    EXPECT_EQ(TimeUnitOfCaller("/usr/lib/x86_64-linux-gnu/gstreamer-1.0/libgstfrei0r.so"),
              TimeUnit::Seconds);
    EXPECT_EQ(TimeUnitOfCaller("/usr/lib/x86_64-linux-gnu/mlt-7/libmltfrei0r.so"),
              TimeUnit::Seconds);
    EXPECT_EQ(TimeUnitOfCaller("/opt/ffmpeg-static/bin/ffmpeg"), TimeUnit::Unknown);
    StreamClock seconds(TimeUnit::Seconds, 25); // GStreamer, MLT
    StreamClock milliseconds(TimeUnit::Milliseconds, 25);
    // A tool the clock does not know, in either unit: told apart by the second frame.
    StreamClock unknownSeconds(TimeUnit::Unknown, 25);
    StreamClock unknownMilliseconds(TimeUnit::Unknown, 25);
    for (long n : {0L, 1L, 2L, 49L, 3000L}) {
        EXPECT_EQ(seconds.FrameAt(n * 0.04), n);
        EXPECT_EQ(milliseconds.FrameAt(n * 40.0), n);
        EXPECT_EQ(unknownSeconds.FrameAt(n * 0.04), n);
        EXPECT_EQ(unknownMilliseconds.FrameAt(n * 40.0), n);
    }
    EXPECT_EQ(unknownSeconds.Unit(), TimeUnit::Seconds);
    EXPECT_EQ(unknownMilliseconds.Unit(), TimeUnit::Milliseconds);
}

TEST(StreamClock, AnUnknownToolsFirstFrameNeverRunsAheadOfTheStream) {
    // A stream that starts at 2 s: until the second frame tells the unit, the first is placed
    // at the earlier of its two readings, so no event fires early.
    StreamClock seconds(TimeUnit::Unknown, 25);
    EXPECT_EQ(seconds.FrameAt(2.0), 0);
    EXPECT_EQ(seconds.FrameAt(2.04), 51);
    StreamClock milliseconds(TimeUnit::Unknown, 25);
    EXPECT_EQ(milliseconds.FrameAt(2000.0), 50);
    EXPECT_EQ(milliseconds.FrameAt(2040.0), 51);
    // A slide show at a frame a second is still seconds; a repeated time tells nothing.
    StreamClock slides(TimeUnit::Unknown, 1);
    EXPECT_EQ(slides.FrameAt(0), 0);
    EXPECT_EQ(slides.FrameAt(0), 0);
    EXPECT_EQ(slides.FrameAt(1), 1);
    EXPECT_EQ(slides.Unit(), TimeUnit::Seconds);
}

TEST(StreamClock, AnUnusableTimeSwitchesToCountingFromTheLastFrame) {
    // Debian's ffmpeg 5.1 passes this with every frame at 25 fps.
    constexpr double kNoTimestamp = -368934881474191032320.0;
    for (const TimeUnit unit : {TimeUnit::Milliseconds, TimeUnit::Unknown}) {
        StreamClock ffmpeg(unit, 25);
        for (long n = 0; n < 5; ++n)
            EXPECT_EQ(ffmpeg.FrameAt(kNoTimestamp), n);
        EXPECT_EQ(ffmpeg.FrameAt(200.0), 5) << "once counting, always counting";
    }

    StreamClock late(TimeUnit::Seconds, 25);
    EXPECT_EQ(late.FrameAt(0.4), 10);
    EXPECT_EQ(late.FrameAt(std::nan("")), 11);
    EXPECT_TRUE(late.Counting());
}

// ---- Where the filter finds the plug-in

TEST(RunnableFolder, TheRunnableFolderFirstThenThePackagesOwnFolderThroughLinks) {
    namespace fs = std::filesystem;
    // The folder's real path: the answer is made from the filter's with every link followed.
    const fs::path root =
        fs::canonical(fs::temp_directory_path()) / ("askgame-runnable-" + std::to_string(getpid()));
    fs::remove_all(root);
    const auto touch = [](const fs::path& file) {
        fs::create_directories(file.parent_path());
        std::ofstream{file};
    };
    const fs::path prefix = root / "usr";
    const fs::path filter = prefix / "lib/frei0r-1/askgame.so";
    touch(filter);
    // A video tool's folder holding only a link to the filter.
    fs::create_directories(root / "tool");
    fs::create_symlink(filter, root / "tool/askgame.so");

    // Neither folder holds the plug-in: the runnable folder, for the loader to name.
    EXPECT_EQ(RunnableFolderOf(filter.string()), (prefix / "bin").string());
    // Installed as the Debian package lays it out.
    touch(prefix / "lib/askgame/libaskgame.so");
    EXPECT_EQ(RunnableFolderOf(filter.string()), (prefix / "lib/askgame").string());
    EXPECT_EQ(RunnableFolderOf((root / "tool/askgame.so").string()),
              (prefix / "lib/askgame").string());
    // The build tree's or `cmake --install`'s runnable folder wins over a package's.
    touch(prefix / "bin/libaskgame.so");
    EXPECT_EQ(RunnableFolderOf(filter.string()), (prefix / "bin").string());
    EXPECT_EQ(RunnableFolderOf((root / "missing.so").string()), "");
    fs::remove_all(root);
}

// ---- The filter through its entry points

using frei0r_test::Filter;
using frei0r_test::Instance;
using frei0r_test::kRuntime;
using frei0r_test::OpenFilter;

// Draws frames until `done` holds, at most 500 of them; false when it never did.
template <typename Done>
bool FramesUntil(Instance& filter, long& index, Done done) {
    for (int i = 0; i < 500; ++i) {
        filter.Frame(index++);
        if (done()) return true;
    }
    return false;
}

// What a command line prints on its standard output.
std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        pclose(pipe);
    }
    return out;
}

class FilterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { filter_ = new Filter(OpenFilter()); }

    void SetUp() override {
        ASSERT_TRUE(filter_->library) << dlerror();
        setenv("ASKGAME_ACP", "65001", 0); // the bank below is UTF-8
        folder_ = testing::TempDir() + "frei0r-" +
                  testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::create_directories(folder_);
        std::ofstream(folder_ + "/bank.txt") << "[问题]\nRed planet? A Mars B Venus\n[答案]\nA\n"
                                                "[问题]\nCapital of France?\n[答案]\nParis\n";
    }

    std::string WriteScenario(const std::string& name, const std::string& json) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path) << json;
        return path;
    }

    // The frames askgame-host run draws for the scenario over the test card.
    std::vector<hosting::Frame> HostFrames(const std::string& path, int width, int height) {
        std::vector<hosting::Frame> frames;
        std::string error;
        auto plugin = hosting::PluginLibrary::Open(kRuntime + "/libaskgame.so", error);
        auto parsed = hosting::LoadScenarioFile(path);
        if (!plugin || !parsed.scenario) {
            ADD_FAILURE() << error << parsed.error;
            return frames;
        }
        parsed.scenario->width = width; // as run --size does
        parsed.scenario->height = height;
        hosting::Transcript transcript;
        auto game = hosting::HostedGame::Create(*plugin, parsed.scenario->mode, width, height,
                                                LCID_ENGLISH_US, transcript, error);
        if (!game) {
            ADD_FAILURE() << error;
            return frames;
        }
        struct Keep final : hosting::FrameSink {
            std::vector<hosting::Frame>& frames;
            explicit Keep(std::vector<hosting::Frame>& f) : frames(f) {}
            bool Put(const hosting::Frame& frame) override {
                frames.push_back(frame);
                return true;
            }
            bool Close(std::string&) override { return true; }
            std::string Where() const override { return "memory"; }
        } sink(frames);
        hosting::TestCardSource card(width, height);
        hosting::PlayOptions options;
        options.quiet = true;
        options.stillsFolder = folder_;
        const auto result =
            hosting::PlayScenario(*game, *parsed.scenario, card, &sink, transcript, options);
        EXPECT_TRUE(result.ok) << result.error;
        return frames;
    }

    static Filter* filter_;
    std::string folder_;
};

Filter* FilterTest::filter_ = nullptr;

const char* const kFreeShow = R"({"mode": "free", "fps": 25, "duration": 2,
    "viewers": {"ming": {"id": 1001, "name": "王小明"}},
    "events": [
      {"at": 0.08, "bank": "bank.txt"},
      {"at": 0.12, "option": "OptShowQuestion", "selected": true},
      {"at": 0.2, "click": "ButtonShowQue"},
      {"at": 0.6, "chat": "ming", "text": "A"}]})";

TEST_F(FilterTest, DrawsTheSameFramesAsTheHostAtAnOddSize) {
    // Neither side a multiple of 8, and odd: the filter takes any size the tools hand it.
    constexpr int kWidth = 203, kHeight = 117;
    const std::string show = WriteScenario("show.json", kFreeShow);
    const auto expected = HostFrames(show, kWidth, kHeight);
    ASSERT_EQ(expected.size(), 50u);

    // Times in seconds, as GStreamer and MLT pass them, and in milliseconds, as an ffmpeg the
    // filter cannot recognise (this test program) passes them.
    for (const double timeScale : {1.0, 1000.0}) {
        Instance filter(*filter_, kWidth, kHeight, {show, "free", "en"});
        bool drewSomething = false;
        for (long n = 0; n < 50; ++n) {
            const hosting::Frame frame = filter.Frame(n, timeScale);
            ASSERT_EQ(frame.pixels, expected[n].pixels) << "frame " << n << " × " << timeScale;
            hosting::Frame card = frame;
            hosting::TestCard(kWidth, kHeight).Draw(n, card);
            drewSomething |= card.pixels != frame.pixels;
        }
        EXPECT_TRUE(drewSomething) << "the question never appeared";
    }
}

TEST_F(FilterTest, ASeekBackStartsTheGameOverAndCatchesUp) {
    // An editor's timeline: played to frame 40, then back to 12 and on from there.
    constexpr int kWidth = 160, kHeight = 90;
    const std::string show = WriteScenario("show.json", kFreeShow);
    const auto expected = HostFrames(show, kWidth, kHeight);
    ASSERT_EQ(expected.size(), 50u);
    Instance filter(*filter_, kWidth, kHeight, {show, "free", "en"});
    for (long n = 0; n <= 40; ++n)
        filter.Frame(n);
    for (long n = 12; n < 50; ++n)
        ASSERT_EQ(filter.Frame(n).pixels, expected[n].pixels) << "frame " << n << " after the seek";
}

TEST_F(FilterTest, InstancesInOneProcessPlayTheirOwnGames) {
    constexpr int kWidth = 320, kHeight = 180;
    const std::string show = WriteScenario("show.json", kFreeShow);
    const auto expected = HostFrames(show, kWidth, kHeight);
    ASSERT_EQ(expected.size(), 50u);

    // A preview and a render side by side; the first made is the first to go, and the one left
    // still loads its own question bank and draws its own game.
    auto preview = std::make_unique<Instance>(*filter_, kWidth, kHeight,
                                              std::vector<std::string>{show, "", "en"});
    Instance render(*filter_, kWidth, kHeight, {show, "", "en"});
    for (long n = 0; n < 10; ++n) {
        EXPECT_EQ(preview->Frame(n).pixels, expected[n].pixels) << "preview frame " << n;
        EXPECT_EQ(render.Frame(n).pixels, expected[n].pixels) << "render frame " << n;
    }
    preview.reset();
    for (long n = 10; n < 50; ++n)
        ASSERT_EQ(render.Frame(n).pixels, expected[n].pixels) << "render frame " << n;
}

TEST_F(FilterTest, ChallengeFiltersInOneProcessShareOneRoomSafely) {
    // Challenge games in one program share the library's room of players: a preview and a render
    // of the same show draw side by side, and the render goes on alone once the preview is gone.
    constexpr int kWidth = 320, kHeight = 180;
    const std::string show = WriteScenario("challenge.json", R"({"mode": "challenge", "fps": 25,
        "duration": 2,
        "viewers": {"a": {"id": 1, "name": "Ann"}, "b": {"id": 2, "name": "Bo"},
                    "c": {"id": 3, "name": "Cy"}},
        "events": [
          {"at": 0.04, "bank": "bank.txt"},
          {"at": 0.08, "gift": "a", "count": 1, "value": 30},
          {"at": 0.12, "gift": "b", "count": 1, "value": 20},
          {"at": 0.16, "gift": "c", "count": 1, "value": 10},
          {"at": 0.4, "click": "ButtonShowChallengQue"},
          {"at": 0.8, "chat": "b", "text": "A"}]})");
    const auto expected = HostFrames(show, kWidth, kHeight);
    ASSERT_EQ(expected.size(), 50u);
    auto preview = std::make_unique<Instance>(*filter_, kWidth, kHeight,
                                              std::vector<std::string>{show, "", "en"});
    Instance render(*filter_, kWidth, kHeight, {show, "", "en"});
    for (long n = 0; n < 15; ++n) {
        preview->Frame(n);
        EXPECT_EQ(render.Frame(n).pixels, expected[n].pixels) << "render frame " << n;
    }
    preview.reset();
    for (long n = 15; n < 50; ++n)
        ASSERT_EQ(render.Frame(n).pixels, expected[n].pixels) << "render frame " << n;
    hosting::Frame card = expected.back();
    hosting::TestCard(kWidth, kHeight).Draw(49, card);
    EXPECT_NE(card.pixels, expected.back().pixels) << "the game drew nothing to compare";
}

TEST_F(FilterTest, ABadParameterLeavesTheFrameAsTheToolGaveIt) {
    const std::string show = WriteScenario("show.json", kFreeShow);
    const std::string broken = WriteScenario("broken.json", R"({"mode": "free", "events": [)");
    hosting::Frame card = *hosting::MakeFrame(64, 36);
    hosting::TestCard(64, 36).Draw(0, card);
    const std::vector<std::vector<std::string>> cases = {
        {show, "quiz"},
        {show, "challenge"},
        {show, "", "klingon"},
        {folder_ + "/no.json"},
        {broken},
        {""},
        {std::string(kMaxSettingBytes + 1, 'x')},
        {"", "", "", "127.0.0.1:8719"},
        {"", "free", "", "example.com:8719"},
        {"", "free", "", "127.0.0.1"},
    };
    for (const auto& values : cases) {
        testing::internal::CaptureStderr();
        Instance filter(*filter_, 64, 36, values);
        EXPECT_EQ(filter.Frame(0).pixels, card.pixels);
        EXPECT_EQ(filter.Frame(1).pixels.size(), card.pixels.size());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("askgame: "), std::string::npos) << values[0];
        EXPECT_EQ(said.find("askgame: ", 1), std::string::npos) << "said once: " << said;
    }
    // A frame wider than the filter draws on passes through too.
    hosting::Frame wide = *hosting::MakeFrame(kMaxFrameSide + 1, 1);
    hosting::TestCard(wide.width, 1).Draw(0, wide);
    testing::internal::CaptureStderr();
    Instance filter(*filter_, kMaxFrameSide + 1, 1, {show, "free"});
    EXPECT_EQ(filter.Frame(0).pixels, wide.pixels);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot be drawn on"), std::string::npos);
}

TEST_F(FilterTest, AFifoOrADeviceAsTheScenarioPassesFramesThroughAtOnce) {
    const test_support::WatchedFifo fifo(folder_ + "/fifo.json");
    ASSERT_TRUE(fifo.Made());
    hosting::Frame card = *hosting::MakeFrame(64, 36);
    hosting::TestCard(64, 36).Draw(0, card);
    for (const std::string& path : {fifo.Path(), std::string("/dev/zero")}) {
        testing::internal::CaptureStderr();
        Instance filter(*filter_, 64, 36, {path});
        EXPECT_EQ(filter.Frame(0).pixels, card.pixels) << path;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path + ": the scenario is a"), std::string::npos) << said;
        EXPECT_NE(said.find("not a regular file"), std::string::npos) << said;
        EXPECT_NE(said.find("frames pass through untouched"), std::string::npos) << said;
    }
    EXPECT_FALSE(fifo.Opened()) << "the filter waited for a writer";
}

TEST_F(FilterTest, ToolsFindOneBgraFilterWithStringParameters) {
    f0r_plugin_info_t info{};
    filter_->info(&info);
    EXPECT_STREQ(info.name, "askgame");
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_BGRA8888);
    EXPECT_EQ(info.num_params, 7);
    // Odd calls from a tool never bring it down.
    f0r_instance_t none = filter_->construct(0, 0);
    char* value = nullptr;
    filter_->set(none, &value, 0);
    filter_->set(none, &value, 99);
    filter_->update(none, 0, nullptr, nullptr);
    filter_->destruct(none);
}

} // namespace

namespace {

// A presenter's page watching the show: its stream of events, read on a thread of its own.
class PageStream {
public:
    PageStream(int port, const std::string& token) : client_("127.0.0.1", port) {
        client_.set_read_timeout(10);
        reader_ = std::thread([this, token] {
            client_.Get("/api/page/events?token=" + token,
                        [this](const char* data, std::size_t size) {
                            std::lock_guard lock(mutex_);
                            text_.append(data, size);
                            return !stop_;
                        });
        });
    }
    ~PageStream() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        reader_.join(); // the stream ends with the next keep-alive or when the show ends
    }

    // The data of the last `event` seen whose data holds `part`, or nothing yet.
    std::optional<nlohmann::json> Last(const std::string& event, const std::string& part) {
        std::lock_guard lock(mutex_);
        const std::string head = "event: " + event + "\ndata: ";
        for (auto at = text_.rfind(head); at != std::string::npos;
             at = at == 0 ? std::string::npos : text_.rfind(head, at - 1)) {
            const auto start = at + head.size();
            const std::string data = text_.substr(start, text_.find('\n', start) - start);
            if (data.find(part) != std::string::npos) return nlohmann::json::parse(data);
        }
        return std::nullopt;
    }

private:
    httplib::Client client_;
    std::mutex mutex_;
    std::string text_;
    bool stop_ = false;
    std::thread reader_;
};

TEST_F(FilterTest, ALiveShowTakesThePresenterAndViewersBetweenFrames) {
    setenv("ASKGAME_TOKEN", "frei0r-test-token", 1);
    const int port = FreeLoopbackPort();
    ASSERT_NE(port, 0);
    const std::string address = "127.0.0.1:" + std::to_string(port);
    // A season of this run's own in the season file askgame-host keeps by default.
    const std::string season = "frei0r-" + std::to_string(getpid());
    testing::internal::CaptureStderr();
    std::optional<Instance> live;
    live.emplace(*filter_, 320, 180,
                 std::vector<std::string>{"", "free", "en", address, folder_, season});
    Instance& filter = *live;
    long index = 0;
    const hosting::Frame first = filter.Frame(index++); // the endpoint opens with the first frame
    EXPECT_NE(testing::internal::GetCapturedStderr().find("http://" + address + "/?token="),
              std::string::npos);

    httplib::Client client("127.0.0.1", port);
    client.set_bearer_token_auth("frei0r-test-token");
    client.set_read_timeout(10);
    // A presenter's action is answered once a frame has applied it: keep the frames coming.
    auto post = [&](const std::string& route, const std::string& body) {
        auto reply = std::async(std::launch::async, [&client, route, body] {
            auto result = client.Post(route, body, "application/json");
            return result ? result->status : -1;
        });
        for (int i = 0;
             i < 2000 && reply.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready;
             ++i)
            filter.Frame(index++);
        return reply.get();
    };
    EXPECT_EQ(post("/api/panel", R"({"bank": "bank.txt"})"), 200);
    EXPECT_EQ(post("/api/panel", R"({"option": "OptShowQuestion", "selected": true})"), 200);
    EXPECT_EQ(post("/api/panel", R"({"click": "ButtonShowQue"})"), 200);
    EXPECT_EQ(post("/api/panel", R"({"click": "NoSuchButton"})"), 422);
    EXPECT_EQ(post("/api/chat", R"({"id": 1001, "name": "Ming", "text": "A"})"), 200);

    const hosting::Frame shown = filter.Frame(index++);
    hosting::Frame card = shown;
    hosting::TestCard(320, 180).Draw(index - 1, card);
    EXPECT_NE(shown.pixels, card.pixels) << "the question is on the picture";
    const auto state = client.Get("/api/state");
    ASSERT_TRUE(state);
    const auto json = nlohmann::json::parse(state->body);
    EXPECT_EQ(json["mode"], "free");
    EXPECT_NE(json["question"]["text"].get<std::string>().find("Red planet"), std::string::npos)
        << state->body;
    EXPECT_EQ(test_support::StateSchemaFaults(state->body), "");

    // The viewer's right answer is in the season once the show ends, where `scores` finds it.
    ASSERT_TRUE(FramesUntil(filter, index, [&] {
        const auto got = client.Get("/api/state");
        return got && got->body.find("Ming(1001)") != std::string::npos;
    }));
    const auto scores = client.Get("/api/scores");
    ASSERT_TRUE(scores);
    EXPECT_EQ(scores->status, 200) << scores->body;
    live.reset();
    const std::string table =
        Capture(kRuntime + "/askgame-host scores --csv --season " + season + " 2>&1");
    EXPECT_NE(table.find("\n1,1001,Ming,1,1,1,0,\n"), std::string::npos) << table;
}

TEST_F(FilterTest, ThePresenterPageWorksThePanelWhileFramesGoOn) {
    setenv("ASKGAME_TOKEN", "frei0r-page-token", 1);
    const int port = FreeLoopbackPort();
    ASSERT_NE(port, 0);
    std::ofstream(folder_ + "/empty.txt") << "no questions here\n";
    testing::internal::CaptureStderr();
    Instance filter(*filter_, 320, 180,
                    {"", "free", "en", "127.0.0.1:" + std::to_string(port), folder_});
    long index = 0;
    filter.Frame(index++);
    testing::internal::GetCapturedStderr();

    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(10);
    const auto page = client.Get("/?token=frei0r-page-token");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_NE(page->body.find("<html"), std::string::npos);

    PageStream stream(port, "frei0r-page-token");
    // Frames keep coming while the page waits: the tool never waits for the page.
    const auto framesUntil = [&](const std::string& event, const std::string& part) {
        for (int i = 0; i < 3000; ++i) {
            if (auto data = stream.Last(event, part)) return data;
            filter.Frame(index++);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return std::optional<nlohmann::json>();
    };
    ASSERT_TRUE(framesUntil("panel", "BtnQuestions")) << "the page never saw the panel";

    // The bank button opens the chooser in the page; the game had its answer at once.
    client.set_bearer_token_auth("frei0r-page-token");
    auto click = std::async(std::launch::async, [&client] {
        auto result = client.Post("/api/panel", R"({"click": "BtnQuestions"})", "application/json");
        return result ? result->status : -1;
    });
    const auto chooser = framesUntil("dialog", R"("kind":"bank")");
    ASSERT_TRUE(chooser) << "no bank chooser in the page";
    EXPECT_EQ(click.get(), 200);

    // The bank chosen reaches the game at a later frame; this one has no questions, and the
    // panel's box about it shows in the page while the frames go on.
    httplib::Client answerer("127.0.0.1", port);
    answerer.set_bearer_token_auth("frei0r-page-token");
    const auto chosen = answerer.Post(
        "/api/page/dialog", nlohmann::json{{"id", (*chooser)["id"]}, {"bank", "empty.txt"}}.dump(),
        "application/json");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->status, 200) << chosen->body;
    const auto box = framesUntil("dialog", R"("kind":"box")");
    ASSERT_TRUE(box) << "the panel's box never reached the page";
    for (int i = 0; i < 5; ++i)
        filter.Frame(index++);
    const auto state = client.Get("/api/state");
    ASSERT_TRUE(state);
    EXPECT_EQ(nlohmann::json::parse(state->body)["messageBoxes"], 1) << state->body;
}

} // namespace
