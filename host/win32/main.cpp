// askgame-host.exe: the Windows test host. It loads askgame.dll the way a broadcasting host
// does and plays the built-in demo or a scenario over the test card, writing PNG frames, stills
// and a transcript (the Linux host's encoder and live show need programs Windows lacks here).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "host/demo.h"
#include "hosting/frame_io.h"
#include "hosting/player.h"
#include "hosting/plugin_loader.h"
#include "hosting/png_sequence.h"

namespace {

using namespace host;
using namespace hosting;

struct RunArgs {
    std::string plugin = DefaultPluginPath();
    std::optional<std::uint32_t> lcid;
    std::string scenario;
    std::string output; // the folder for frames, stills and the transcript
    std::optional<std::string> size;
    std::optional<double> fps;
    bool stillsOnly = false;
};

int Fail(const std::string& error, int status = 1) {
    std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
    return status;
}

int Run(const RunArgs& args) {
    auto parsed = LoadScenarioFile(args.scenario);
    if (!parsed.scenario) return Fail(parsed.error);
    std::string error;
    if (!ApplyFrameOptions(*parsed.scenario, args.size, args.fps, error)) return Fail(error, 2);
    const auto& scenario = parsed.scenario;
    const std::string stem = std::filesystem::path(args.scenario).stem().string();
    const std::string folder = args.output.empty() ? stem + "-frames" : args.output;
    if (!MakeFolders(folder, error)) return Fail(error);
    auto plugin = PluginLibrary::Open(args.plugin, error);
    if (!plugin) return Fail(error);

    Transcript transcript;
    auto game = HostedGame::Create(
        *plugin, scenario->mode, scenario->width, scenario->height,
        args.lcid.value_or(scenario->lcid.value_or(GetSystemDefaultLCID())), transcript, error);
    if (!game) return Fail(error);
    std::optional<PngSequenceSink> frames;
    if (!args.stillsOnly) frames.emplace(folder);
    TestCardSource card(scenario->width, scenario->height);
    PlayOptions play;
    play.stillsFolder = folder;
    play.stage = folder;
    const PlayResult result =
        PlayScenario(*game, *scenario, card, frames ? &*frames : nullptr, transcript, play);
    game->Finish();
    WriteScoreSummary(*game, transcript);
    const std::string transcriptPath = folder + "/" + stem + ".transcript.txt";
    transcript.WriteTo(transcriptPath);
    if (!result.ok) return Fail(result.error);
    std::printf("Wrote %ld frames%s, %zu still(s) and %s\n", result.frames,
                frames ? (" to " + folder).c_str() : " (stills only)", result.stills.size(),
                transcriptPath.c_str());
    if (transcript.HostErrorCount() > 0)
        return Fail("the plug-in broke the host's rules " +
                    std::to_string(transcript.HostErrorCount()) + " time(s); see " +
                    transcriptPath);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"askgame-host: runs askgame.dll the way a broadcasting host does (Windows test "
                 "host: the test card in, PNG frames out)"};
    app.require_subcommand(1);

    RunArgs run;
    DemoOptions demo;
    demo.pluginPath = run.plugin;
    std::optional<std::uint32_t> demoLcid;
    auto* demoCommand = app.add_subcommand(
        "demo", "Play both games over a moving test card: PNG frames, stills and a transcript");
    demoCommand->add_option("--plugin", demo.pluginPath, "The plug-in to load")
        ->capture_default_str();
    demoCommand->add_option("--lcid", demoLcid,
                            "Language (1033, 2052, 1028); default: the system's");
    demoCommand->add_option("--output", demo.outputFolder, "Folder to write into")
        ->capture_default_str();

    auto* runCommand = app.add_subcommand("run", "Play a scenario file over the test card");
    runCommand->add_option("--plugin", run.plugin, "The plug-in to load")->capture_default_str();
    runCommand->add_option("--lcid", run.lcid,
                           "Language (default: the scenario's, or the system's)");
    runCommand->add_option("--scenario", run.scenario, "The scenario (JSON)")->required();
    runCommand->add_option("--output", run.output,
                           "The folder for PNG frames, stills and the transcript (default: "
                           "SCENARIO-frames)");
    runCommand->add_option("--size", run.size, "Frame size WIDTHxHEIGHT (default: the scenario's)");
    runCommand->add_option("--fps", run.fps, "Frames per second (default: the scenario's)");
    runCommand->add_flag("--stills-only", run.stillsOnly, "Write the stills, not every frame");

    CLI11_PARSE(app, argc, argv);
    if (demoCommand->parsed()) {
        // The demo's bank is UTF-8: read it so unless the user chose a code page.
        if (!std::getenv("ASKGAME_ACP")) _putenv("ASKGAME_ACP=65001");
        demo.lcid = demoLcid.value_or(GetSystemDefaultLCID());
        return RunDemo(demo);
    }
    return Run(run);
}
