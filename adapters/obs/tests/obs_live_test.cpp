// OBS Studio's own library runs the askgame module: it starts headless with its OpenGL renderer
// at 640×360 BGRA, loads our module and its colour source, puts the askgame source over a
// colour in a scene, and reads the frames OBS outputs while a presenter and a viewer work the
// show's endpoint. A probe source first shows how OBS blends a source's BGRA frames, the rule
// the askgame source's canvases are made for (with the sRGB-off blending method). Every wait is
// bounded; any failure exits non-zero.
#include <dlfcn.h>
#include <link.h>
#include <obs.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "hosting/frame.h"
#include "hosting/png_still.h"
#include "tests/show/chat_support.h"
#include "tests/support/free_port.h"
#include "tests/support/state_schema.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFps = 30;
constexpr auto kFrameWait = 20s;
// The scene's background, as the colour source takes it (0xAABBGGRR) and as BGRA bytes.
constexpr std::uint32_t kBackground = 0xFF804020;
constexpr std::uint8_t kBackgroundBgra[4] = {0x80, 0x40, 0x20, 0xFF};
constexpr const char* kToken = "obs-test-token";

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
    if (!ok) ++failures;
}

[[noreturn]] void Fatal(const std::string& what) {
    std::printf("FATAL: %s\n", what.c_str());
    std::fflush(stdout);
    std::_Exit(1); // OBS half started cannot be shut down cleanly
}

// The frames OBS outputs, the latest kept.
struct Output {
    std::mutex lock;
    std::condition_variable arrived;
    hosting::Frame latest{kWidth, kHeight, std::vector<BYTE>(std::size_t(kWidth) * kHeight * 4)};
    long count = 0;

    static void Take(void* self, video_data* frame) {
        auto& out = *static_cast<Output*>(self);
        const std::lock_guard guard(out.lock);
        for (int y = 0; y < kHeight; ++y)
            std::memcpy(out.latest.Row(y), frame->data[0] + std::size_t(y) * frame->linesize[0],
                        out.latest.RowBytes());
        ++out.count;
        out.arrived.notify_all();
    }

    // Waits for frames until `test` holds for one (true) or the wait is over (false).
    bool WaitFor(const std::function<bool(const hosting::Frame&)>& test,
                 hosting::Frame* seen = nullptr) {
        std::unique_lock guard(lock);
        const auto until = std::chrono::steady_clock::now() + kFrameWait;
        long last = count;
        while (std::chrono::steady_clock::now() < until) {
            arrived.wait_until(guard, until, [&] { return count != last; });
            if (count == last) break;
            last = count;
            if (test(latest)) {
                if (seen) *seen = latest;
                return true;
            }
        }
        if (seen) *seen = latest;
        return false;
    }
};

const BYTE* At(const hosting::Frame& frame, int x, int y) {
    return frame.Row(y) + std::size_t(x) * 4;
}

bool IsBackground(const BYTE* pixel) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(pixel[c] - kBackgroundBgra[c]) > 2) return false;
    return true;
}

long PixelsOverBackground(const hosting::Frame& frame) {
    long changed = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            changed += !IsBackground(At(frame, x, y));
    return changed;
}

// ---- The probe: an async source of one BGRA frame, half of it a half-transparent colour.
constexpr std::uint8_t kProbe[4] = {40, 200, 240, 128};

struct Probe {
    obs_source_t* source;
    std::vector<std::uint8_t> pixels = std::vector<std::uint8_t>(std::size_t(kWidth) * kHeight * 4);
};

void* ProbeCreate(obs_data_t*, obs_source_t* source) {
    return new Probe{source};
}
void ProbeDestroy(void* data) {
    delete static_cast<Probe*>(data);
}
void ProbeTick(void* data, float) {
    auto& probe = *static_cast<Probe*>(data);
    for (std::size_t i = 0; i < probe.pixels.size(); i += 4)
        std::memcpy(&probe.pixels[i], kProbe, 4);
    obs_source_frame frame{};
    frame.data[0] = probe.pixels.data();
    frame.linesize[0] = kWidth * 4;
    frame.width = kWidth;
    frame.height = kHeight;
    frame.format = VIDEO_FORMAT_BGRA;
    frame.full_range = true;
    frame.timestamp = obs_get_video_frame_time();
    obs_source_output_video(probe.source, &frame);
}

void RegisterProbe() {
    obs_source_info info{};
    info.id = "askgame_test_probe";
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_ASYNC_VIDEO;
    info.get_name = [](void*) { return "probe"; };
    info.create = ProbeCreate;
    info.destroy = ProbeDestroy;
    info.video_tick = ProbeTick;
    obs_register_source(&info);
}

// ---- Setting OBS up
void StartObs() {
    if (!obs_startup("en-US", nullptr, nullptr)) Fatal("obs_startup failed (no X display?)");
    obs_video_info video{};
    video.graphics_module = "libobs-opengl";
    video.fps_num = kFps;
    video.fps_den = 1;
    video.base_width = video.output_width = kWidth;
    video.base_height = video.output_height = kHeight;
    video.output_format = VIDEO_FORMAT_BGRA;
    video.adapter = 0;
    video.gpu_conversion = true;
    video.colorspace = VIDEO_CS_709;
    video.range = VIDEO_RANGE_FULL;
    video.scale_type = OBS_SCALE_BILINEAR;
    const int reset = obs_reset_video(&video);
    if (reset != OBS_VIDEO_SUCCESS) Fatal("obs_reset_video failed: " + std::to_string(reset));
}

void LoadModule(const std::string& path, const std::string& data) {
    obs_module_t* module = nullptr;
    const int opened = obs_open_module(&module, path.c_str(), data.c_str());
    if (opened != MODULE_SUCCESS) Fatal(path + ": obs_open_module gave " + std::to_string(opened));
    if (!obs_init_module(module)) Fatal(path + ": obs_init_module failed");
}

int FreePort() {
    const int port = FreeLoopbackPort();
    if (port == 0) Fatal("no free port on loopback");
    return port;
}

obs_source_t* MakeSource(const char* id, const char* name,
                         const std::function<void(obs_data_t*)>& set) {
    obs_data_t* settings = obs_data_create();
    set(settings);
    obs_source_t* source = obs_source_create(id, name, settings, nullptr);
    obs_data_release(settings);
    if (!source) Fatal(std::string("cannot make a ") + id + " source");
    return source;
}

// Keeps every library loaded now in memory past OBS's shutdown, which unloads its modules and
// its renderer: what they leave allocated is then reported with their names (and suppressed by
// them under the leak checker) instead of as unknown code.
void PinLoadedLibraries() {
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void*) {
            if (info->dlpi_name && *info->dlpi_name)
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace

int main() {
    setenv("ASKGAME_ACP", "65001", 0); // the bank below is UTF-8
    setenv("ASKGAME_TOKEN", kToken, 1);
    // A season of this run's own in the default season file (which the test's environment puts
    // in the build tree).
    const std::string season = "obs-" + std::to_string(getpid());
    const std::string banks =
        (std::filesystem::temp_directory_path() / ("askgame-obs-" + std::to_string(getpid())))
            .string();
    std::filesystem::create_directories(banks);
    std::ofstream(banks + "/bank.txt") << "[问题]\nRed planet? A Mars B Venus\n[答案]\nA\n";

    StartObs();
    LoadModule(OBS_SYSTEM_PLUGINS "/image-source.so", OBS_SYSTEM_DATA "/image-source");
    LoadModule(ASKGAME_OBS_MODULE, std::filesystem::path(ASKGAME_OBS_MODULE)
                                       .parent_path()
                                       .parent_path()
                                       .parent_path()
                                       .append("data")
                                       .string());
    RegisterProbe();

    Output output;
    obs_add_raw_video_callback(nullptr, &Output::Take, &output);
    obs_scene_t* scene = obs_scene_create("askgame test");
    obs_source_t* colour = MakeSource("color_source_v3", "background", [](obs_data_t* s) {
        obs_data_set_int(s, "color", kBackground);
        obs_data_set_int(s, "width", kWidth);
        obs_data_set_int(s, "height", kHeight);
    });
    obs_scene_add(scene, colour);
    obs_set_output_source(0, obs_scene_get_source(scene));

    // How OBS blends a BGRA frame over what lies below, with the blending method the README
    // tells users to choose (sRGB off): straight alpha on the stored values. (OBS's default
    // method blends in linear light instead.)
    obs_source_t* probe = MakeSource("askgame_test_probe", "probe", [](obs_data_t*) {});
    obs_sceneitem_t* probeItem = obs_scene_add(scene, probe);
    obs_sceneitem_set_blending_method(probeItem, OBS_BLEND_METHOD_SRGB_OFF);
    hosting::Frame seen;
    const auto straight = [](int c) {
        return (kProbe[c] * kProbe[3] + kBackgroundBgra[c] * (255 - kProbe[3]) + 127) / 255;
    };
    const bool blended = output.WaitFor(
        [&](const hosting::Frame& f) {
            const BYTE* p = At(f, kWidth / 2, kHeight / 2);
            for (int c = 0; c < 3; ++c)
                if (std::abs(p[c] - straight(c)) > 2) return false;
            return true;
        },
        &seen);
    const BYTE* p = At(seen, kWidth / 2, kHeight / 2);
    char line[160];
    std::snprintf(line, sizeof line,
                  "OBS blends a BGRA source as straight alpha: %d %d %d, expected %d %d %d", p[0],
                  p[1], p[2], straight(0), straight(1), straight(2));
    Check(blended, line);
    obs_sceneitem_remove(probeItem);
    obs_source_release(probe);

    // The askgame source over the colour: transparent until the presenter shows a question. It
    // also reads an IRC channel (Debian's ngircd on loopback).
    const std::filesystem::path ircDir = std::filesystem::path(banks) / "irc";
    std::filesystem::create_directories(ircDir);
    const int ircPort = chat_test::FreePort();
    chat_test::IrcServer irc(ircDir, ircPort);
    const int port = FreePort();
    obs_source_t* game = MakeSource("askgame", "askgame", [&](obs_data_t* s) {
        obs_data_set_string(s, "mode", "free");
        obs_data_set_int(s, "language", 1033);
        obs_data_set_string(s, "banks", banks.c_str());
        obs_data_set_string(s, "endpoint", ("127.0.0.1:" + std::to_string(port)).c_str());
        obs_data_set_string(s, "season", season.c_str());
        obs_data_set_string(s, "chat",
                            ("irc://127.0.0.1:" + std::to_string(ircPort) + "/quiz").c_str());
    });
    obs_sceneitem_set_blending_method(obs_scene_add(scene, game), OBS_BLEND_METHOD_SRGB_OFF);
    Check(output.WaitFor([](const hosting::Frame& f) { return IsBackground(At(f, 2, 2)); }),
          "the background shows through the askgame source");
    const long before = [&] {
        hosting::Frame f;
        output.WaitFor([](const hosting::Frame&) { return true; }, &f);
        return PixelsOverBackground(f);
    }();

    httplib::Client client("127.0.0.1", port);
    client.set_bearer_token_auth(kToken);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const auto post = [&](const std::string& route, const std::string& body) {
        auto reply = client.Post(route, body, "application/json");
        return reply ? reply->status : -1;
    };
    Check(post("/api/panel", R"({"bank": "bank.txt"})") == 200, "the presenter opens a bank");
    Check(post("/api/panel", R"({"option": "OptShowQuestion", "selected": true})") == 200,
          "the presenter chooses to show the question");
    Check(post("/api/panel", R"({"click": "ButtonShowQue"})") == 200,
          "the presenter shows the question");
    Check(post("/api/chat", R"({"id": 1001, "name": "Ming", "text": "A"})") == 200,
          "a viewer answers in the chat");
    const auto page = client.Get("/");
    Check(page && page->status == 200, "the presenter's page is served");

    hosting::Frame shown;
    const bool drawn = output.WaitFor(
        [&](const hosting::Frame& f) { return PixelsOverBackground(f) > before + 2000; }, &shown);
    Check(drawn, "the question is drawn over the background (" +
                     std::to_string(PixelsOverBackground(shown)) + " pixels changed, " +
                     std::to_string(before) + " before)");
    Check(IsBackground(At(shown, 2, 2)), "the background still shows where nothing is drawn");
    for (const auto& [x, y] : {std::pair{0, 0}, {kWidth - 1, 0}})
        Check(At(shown, x, y)[3] == 255, "the composited output is opaque");
    const auto state = client.Get("/api/state");
    Check(state && state->body.find("Red planet") != std::string::npos,
          "the state names the question");
    const std::string faults = test_support::StateSchemaFaults(state ? state->body : "");
    Check(faults.empty(), "the state is the document every live host answers " + faults);
    bool scored = false;
    for (int attempt = 0; attempt < 100 && !scored; ++attempt) {
        const auto reply = client.Get("/api/state");
        scored = reply && reply->body.find("\"Ming(1001)\"") != std::string::npos;
        if (!scored) std::this_thread::sleep_for(100ms);
    }
    Check(scored, "the viewer's right answer scores");
    Check(chat_test::WaitFor([&] {
              const auto reply = client.Get("/api/state");
              return reply && reply->body.find(R"("state":"live")") != std::string::npos;
          }),
          "the source reads the IRC channel");
    chat_test::SayOnIrc(ircPort, "Kim", "A");
    Check(chat_test::WaitFor([&] {
              const auto reply = client.Get("/api/state");
              return reply && reply->body.find("\"Kim(") != std::string::npos;
          }),
          "a viewer's right answer in the IRC channel scores");
    if (const char* still = std::getenv("ASKGAME_OBS_SNAPSHOT")) {
        std::string error;
        Check(hosting::WritePng(shown, still, &error),
              std::string("snapshot ") + still + " " + error);
    }

    // New settings make a new show at the next frame: the old address is let go, the new one
    // serves.
    const int movedPort = FreePort();
    obs_data_t* moved = obs_data_create();
    obs_data_set_string(moved, "endpoint", ("127.0.0.1:" + std::to_string(movedPort)).c_str());
    obs_source_update(game, moved);
    obs_data_release(moved);
    httplib::Client movedClient("127.0.0.1", movedPort);
    movedClient.set_bearer_token_auth(kToken);
    movedClient.set_connection_timeout(1);
    bool serving = false;
    for (int attempt = 0; attempt < 100 && !serving; ++attempt) {
        const auto reply = movedClient.Get("/api/state");
        serving = reply && reply->status == 200;
        if (!serving) std::this_thread::sleep_for(100ms);
    }
    Check(serving, "the show moves to the endpoint's new address");
    client.set_connection_timeout(1);
    Check(!client.Get("/api/state"), "the old address no longer answers");

    // Without ASKGAME_TOKEN a source makes its own token and keeps it in its settings, which OBS
    // saves with the scene: the same source made again from them (OBS restarted) has the same
    // presenter's address, shown in its properties once its show is up.
    unsetenv("ASKGAME_TOKEN");
    const auto ownSettings = [&](obs_data_t* s) {
        obs_data_set_string(s, "endpoint", ("127.0.0.1:" + std::to_string(FreePort())).c_str());
        obs_data_set_bool(s, "season_off", true);
    };
    obs_source_t* own = MakeSource("askgame", "own token", ownSettings);
    obs_data_t* saved = obs_source_get_settings(own);
    const std::string token = obs_data_get_string(saved, "token");
    Check(token.size() == 32, "a source without ASKGAME_TOKEN keeps a token of its own: " + token);
    const auto addressOf = [](obs_source_t* source) {
        std::string shown;
        for (int i = 0; i < 100 && shown.find("token=") == std::string::npos; ++i) {
            obs_properties_t* properties = obs_source_properties(source);
            obs_property_t* address = obs_properties_get(properties, "address");
            shown = address ? obs_property_description(address) : "";
            const bool buttons = obs_properties_get(properties, "copy_address") &&
                                 obs_properties_get(properties, "open_page");
            obs_properties_destroy(properties);
            if (!buttons) shown.clear();
            std::this_thread::sleep_for(50ms);
        }
        return shown;
    };
    obs_sceneitem_t* ownItem = obs_scene_add(scene, own);
    const std::string shownBefore = addressOf(own);
    Check(shownBefore.find("token=" + token) != std::string::npos,
          "its properties show the presenter's address with copy and open buttons: " + shownBefore);
    obs_sceneitem_remove(ownItem);
    obs_source_remove(own);
    obs_source_release(own);
    obs_source_t* again = obs_source_create("askgame", "own token again", saved, nullptr);
    obs_data_release(saved);
    obs_sceneitem_t* againItem = obs_scene_add(scene, again);
    const std::string shownAfter = addressOf(again);
    Check(shownAfter.find("token=" + token) != std::string::npos,
          "made again from its saved settings, it keeps its address: " + shownAfter);
    obs_sceneitem_remove(againItem);
    obs_source_remove(again);
    obs_source_release(again);

    PinLoadedLibraries();
    obs_remove_raw_video_callback(&Output::Take, &output);
    obs_set_output_source(0, nullptr);
    obs_source_remove(game);
    obs_source_release(game);
    obs_source_release(colour);
    obs_scene_release(scene);
    obs_shutdown();
    std::filesystem::remove_all(banks);

    // The show kept its right answer in the season file askgame-host keeps by default.
    std::string table;
    if (FILE* scores = popen((std::string(ASKGAME_RUNTIME_DIR) +
                              "/askgame-host scores --csv "
                              "--season " +
                              season + " 2>&1")
                                 .c_str(),
                             "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, scores))
            table += buffer;
        pclose(scores);
    }
    Check(table.find("\n1,1001,Ming,1,1,1,0,\n") != std::string::npos,
          "askgame-host scores lists the OBS show's right answer: " + table);
    std::printf("%s\n", failures == 0 ? "all passed" : "FAILURES");
    return failures == 0 ? 0 : 1;
}
