#include "host/demo.h"

#include <cstdio>
#include <fstream>

#include "host/command_line.h"
#include "host/exit_status.h"
#include "hosting/frame_io.h"
#include "hosting/player.h"
#include "hosting/png_sequence.h"

namespace host {

using namespace hosting;

namespace {

struct DemoGame {
    const char* name; // file names start with it
    const char* scenario;
};

bool WriteText(const std::string& path, const char* text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

} // namespace

int RunDemo(const DemoOptions& options) {
    std::string error;
    const std::string& out = options.outputFolder;
    if (!MakeFolders(out, error)) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitIo;
    }
    auto plugin = PluginLibrary::Open(options.pluginPath, error);
    if (!plugin) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitUnavailable;
    }
    // The presenter's bank sits in the output folder, where the scenarios choose it from.
    if (!WriteText(out + "/demo-bank.txt", k_demo_bank)) {
        std::fprintf(stderr, "askgame-host: cannot write %s/demo-bank.txt\n", out.c_str());
        return kExitIo;
    }
    const bool video = FfmpegAvailable();
    if (!video)
        std::fprintf(stderr, "askgame-host: ffmpeg is not installed: writing PNG frames "
                             "instead of videos\n");

    Transcript transcript;
    int status = 0; // the last failure's
    std::vector<std::string> written;
    for (const DemoGame& demo :
         {DemoGame{"free", k_demo_free}, DemoGame{"challenge", k_demo_challenge}}) {
        auto parsed = ParseScenario(demo.scenario, std::string("demo-") + demo.name + ".json", out);
        if (!parsed.scenario) {
            std::fprintf(stderr, "askgame-host: %s\n", parsed.error.c_str());
            return kExitSoftware;
        }
        const Scenario& scenario = *parsed.scenario;
        transcript.SetClock(0, scenario.fps);
        transcript.Add("====", scenario.title);
        auto game = HostedGame::Create(*plugin, scenario.mode, scenario.width, scenario.height,
                                       scenario.lcid.value_or(options.lcid), transcript, error,
                                       TraceSinkFor(options.verbose));
        if (!game) {
            std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
            return kExitSoftware;
        }
        std::unique_ptr<FrameSink> sink;
        if (video) {
            auto writer = std::make_unique<FfmpegWriter>();
            if (!writer->Open(out + "/" + demo.name + ".mp4", scenario.width, scenario.height,
                              scenario.fps, error)) {
                std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
                return kExitIo;
            }
            sink = std::move(writer);
        } else {
            const std::string folder = out + "/" + demo.name + "-frames";
            if (!MakeFolders(folder, error)) {
                std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
                return kExitIo;
            }
            sink = std::make_unique<PngSequenceSink>(folder);
        }
        TestCardSource card(scenario.width, scenario.height);
        PlayOptions play;
        play.stillsFolder = out;
        play.stillsPrefix = std::string(demo.name) + "-";
        play.stage = sink->Where();
        const PlayResult result = PlayScenario(*game, scenario, card, sink.get(), transcript, play);
        game->Finish();
        WriteScoreSummary(*game, transcript);
        if (!result.ok) {
            std::fprintf(stderr, "askgame-host: %s demo: %s\n", demo.name, result.error.c_str());
            status = kExitIo;
        }
        written.push_back(sink->Where());
        written.insert(written.end(), result.stills.begin(), result.stills.end());
    }
    transcript.WriteTo(out + "/transcript.txt");
    written.push_back(out + "/transcript.txt");
    if (transcript.HostErrorCount() > 0) {
        std::fprintf(stderr,
                     "askgame-host: the plug-in broke the host's rules %d time(s); see %s\n",
                     transcript.HostErrorCount(), (out + "/transcript.txt").c_str());
        status = kExitSoftware;
    }
    std::printf("The demo is in %s/:\n", out.c_str());
    for (const auto& path : written)
        std::printf("  %s\n", path.c_str());
    return status;
}

} // namespace host
