// askgame-host: loads the askgame plug-in the way a broadcasting host does and drives it.
#include <dlfcn.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <CLI/CLI.hpp>

#include "host/bank_check.h"
#include "host/command_line.h"
#include "host/demo.h"
#include "host/exit_status.h"
#include "host/install_check.h"
#include "host/live.h"
#include "host/scores_command.h"
#include "hosting/frame_io.h"
#include "hosting/player.h"
#include "hosting/plugin_loader.h"
#include "hosting/png_sequence.h"
#include "show/season.h"

namespace {

using namespace host;
using namespace hosting;

// Says a line about the season file on stderr, as the host says everything.
void SaySeason(const std::string& line) {
    std::fprintf(stderr, "askgame-host: %s\n", line.c_str());
}

struct Common {
    std::string plugin = DefaultPluginPath();
    std::optional<std::uint32_t> lcid;
    bool verbose = false;
};

void AddCommon(CLI::App& command, Common& common) {
    command.add_option("--plugin", common.plugin, "The plug-in to load")->capture_default_str();
    command.add_option("--lcid", common.lcid,
                       "Language of the panels and games (1033 English, 2052 Simplified "
                       "Chinese, 1028 Traditional Chinese); default: the system's");
    command.add_flag("--verbose", common.verbose,
                     "Write the plug-in's debug traces to stderr (the transcript never has them)");
}

LCID ChosenLcid(const Common& common, std::optional<std::uint32_t> fromScenario = {}) {
    if (common.lcid) return *common.lcid;
    if (fromScenario) return *fromScenario;
    return GetSystemDefaultLCID();
}

// A folder when it ends in '/', is an existing folder, or its last part has no extension.
bool IsFolderOutput(const std::string& path) {
    namespace fs = std::filesystem;
    if (!path.empty() && path.back() == '/') return true;
    std::error_code code;
    if (fs::is_directory(path, code)) return true;
    return !fs::path(path).has_extension();
}

// A path handed to ffmpeg: one that starts with '-' would be read as an option.
std::string PathForFfmpeg(const std::string& path) {
    return !path.empty() && path.front() == '-' ? "./" + path : path;
}

struct RunArgs {
    std::string scenario;
    std::string input;
    std::string output;
    std::optional<std::string> size; // given, even when empty
    std::optional<double> fps;
    show::SeasonOptions season;
    EncoderSettings encoder;
};

void AddSeasonOptions(CLI::App& command, show::SeasonOptions& season) {
    command.add_option("--db", season.db,
                       "The season file (default: " + season::DefaultSeasonPath() + ")");
    command.add_option("--season", season.season, "The season this show counts for")
        ->capture_default_str();
    command.add_flag("--no-season", season.off, "Keep no scores beyond this show");
}

void AddEncoderOptions(CLI::App& command, EncoderSettings& encoder) {
    command
        .add_option("--preset", encoder.preset,
                    "x264 preset, ultrafast (fastest) to placebo; ultrafast holds 1080p60")
        ->capture_default_str();
    command.add_option("--threads", encoder.threads, "Encoder threads (0: all cores)")
        ->capture_default_str();
}

int Run(const Common& common, const RunArgs& args) {
    auto parsed = LoadScenarioFile(args.scenario);
    if (!parsed.scenario) {
        std::fprintf(stderr, "askgame-host: %s\n", parsed.error.c_str());
        return StatusForUnusableFile(args.scenario);
    }
    Scenario scenario = std::move(*parsed.scenario);
    std::string error;
    if (!ApplyFrameOptions(scenario, args.size, args.fps, error)) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitUsage;
    }

    std::string output = args.output;
    if (output.empty()) output = std::filesystem::path(args.scenario).stem().string() + ".mp4";
    output = PathForFfmpeg(output);
    std::unique_ptr<FrameSink> sink;
    std::string folder; // where stills and the transcript go
    const bool toFolder = IsFolderOutput(output);
    if (!toFolder && FfmpegAvailable()) {
        folder = std::filesystem::path(output).parent_path().string();
        if (folder.empty()) folder = ".";
        auto writer = std::make_unique<FfmpegWriter>();
        if (!MakeFolders(folder, error) || !writer->Open(output, scenario.width, scenario.height,
                                                         scenario.fps, error, args.encoder)) {
            std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
            return kExitIo;
        }
        sink = std::move(writer);
    } else {
        if (!toFolder) {
            folder = (std::filesystem::path(output).parent_path() /
                      (std::filesystem::path(output).stem().string() + "-frames"))
                         .string();
            std::fprintf(stderr,
                         "askgame-host: ffmpeg is not installed: writing PNG frames to %s "
                         "instead of %s\n",
                         folder.c_str(), output.c_str());
        } else {
            folder = output;
        }
        if (!MakeFolders(folder, error)) {
            std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
            return kExitIo;
        }
        sink = std::make_unique<PngSequenceSink>(folder);
    }

    std::unique_ptr<FrameSource> source;
    if (!args.input.empty()) {
        auto reader = std::make_unique<FfmpegReader>();
        if (!reader->Open(PathForFfmpeg(args.input), scenario.width, scenario.height, scenario.fps,
                          error)) {
            std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
            return kExitNoInput;
        }
        source = std::move(reader);
    } else {
        source = std::make_unique<TestCardSource>(scenario.width, scenario.height);
    }

    auto plugin = PluginLibrary::Open(common.plugin, error);
    if (!plugin) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitUnavailable;
    }
    auto recorder = show::OpenSeasonRecorder(args.season, scenario.mode, error, SaySeason);
    if (!error.empty()) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitIo;
    }
    Transcript transcript;
    auto game = HostedGame::Create(*plugin, scenario.mode, scenario.width, scenario.height,
                                   ChosenLcid(common, scenario.lcid), transcript, error,
                                   TraceSinkFor(common.verbose));
    if (game) game->RecordSeasonInto(recorder.get());
    if (!game) {
        std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
        return kExitSoftware;
    }
    PlayOptions play;
    play.stillsFolder = folder;
    play.stage = sink->Where();
    const PlayResult result = PlayScenario(*game, scenario, *source, sink.get(), transcript, play);
    game->Finish();
    const bool seasonKept = show::FinishSeasonRecording(recorder.get(), args.season, SaySeason);
    WriteScoreSummary(*game, transcript);
    const std::string transcriptPath =
        folder + "/" + std::filesystem::path(args.scenario).stem().string() + ".transcript.txt";
    transcript.WriteTo(transcriptPath);
    if (!result.ok) {
        std::fprintf(stderr, "askgame-host: %s\n", result.error.c_str());
        return kExitIo;
    }
    std::printf("Wrote %s (%ld frames), %zu still(s) and %s\n", sink->Where().c_str(),
                result.frames, result.stills.size(), transcriptPath.c_str());
    if (transcript.HostErrorCount() > 0) {
        std::fprintf(stderr,
                     "askgame-host: the plug-in broke the host's rules %d time(s); see %s\n",
                     transcript.HostErrorCount(), transcriptPath.c_str());
        return kExitSoftware;
    }
    return seasonKept ? 0 : kExitIo;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CLI::App app{"askgame-host: runs the askgame plug-in the way a broadcasting host does"};
    app.name("askgame-host");
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", "askgame-host " ASKGAME_VERSION);

    Common common;
    auto* check = app.add_subcommand(
        "check",
        "Check the installed tree: plug-in, skins, language files, sample bank, font, ffmpeg");
    check->add_option("--plugin", common.plugin, "The plug-in to load")->capture_default_str();

    DemoOptions demo;
    auto* demoCommand = app.add_subcommand(
        "demo", "Play both games over a moving test card: videos, stills and a transcript");
    AddCommon(*demoCommand, common);
    demoCommand->add_option("--output", demo.outputFolder, "Folder to write into")
        ->capture_default_str();

    RunArgs run;
    auto* runCommand = app.add_subcommand("run", "Play a scenario file (see docs/scenario.md)");
    AddCommon(*runCommand, common);
    runCommand->add_option("--scenario", run.scenario, "The scenario (JSON)")->required();
    runCommand->add_option("--input", run.input, "A video to play over (default: the test card)");
    runCommand->add_option("--output", run.output,
                           "A video file, or a folder for PNG frames (default: SCENARIO.mp4)");
    runCommand->add_option("--size", run.size, "Frame size WIDTHxHEIGHT (default: the scenario's)");
    runCommand->add_option("--fps", run.fps, "Frames per second (default: the scenario's)");
    AddEncoderOptions(*runCommand, run.encoder);
    AddSeasonOptions(*runCommand, run.season);

    ScoresArgs scores;
    auto* scoresCommand =
        app.add_subcommand("scores", "Show the season's leaderboard or one viewer's standing");
    scoresCommand->add_option("--db", scores.db,
                              "The season file (default: " + season::DefaultSeasonPath() + ")");
    scoresCommand->add_option("--season", scores.season, "Count only this season's shows");
    scoresCommand->add_option("--top", scores.top, "How many viewers to list")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    scoresCommand->add_option("--viewer", scores.viewer, "One viewer's standing, by id");
    scoresCommand->add_flag("--csv", scores.csv, "Write the table as CSV");
    scoresCommand->add_option("--since", scores.since, "From this day on (YYYY-MM-DD or YYYY-MM)");
    scoresCommand->add_option("--until", scores.until, "Before this day (YYYY-MM-DD or YYYY-MM)");

    LiveOptions live;
    std::string liveMode = "free";
    std::string liveSize = "1280x720";
    auto* liveCommand = app.add_subcommand(
        "live", "Go live: draw the game on a camera, file, stream or the test card until Ctrl-C, "
                "with viewers' chat and gifts and the presenter's actions over HTTP");
    AddCommon(*liveCommand, common);
    liveCommand->add_option("--mode", liveMode, "The game: free or challenge")
        ->check(CLI::IsMember({"free", "challenge"}))
        ->capture_default_str();
    liveCommand->add_option(
        "--input", live.input,
        "Any ffmpeg input: /dev/video0, a file, a URL (default: the test card)");
    liveCommand->add_flag("--loop", live.loop, "Play a file input over and over");
    liveCommand->add_option("--audio", live.audioDevice,
                            "Add a microphone: pulse:SOURCE, alsa:DEVICE or an ALSA device name "
                            "(default: the input's own sound)");
    liveCommand->add_flag("--no-audio", live.noAudio, "Send no sound at all");
    liveCommand
        ->add_option("--on-input-loss", live.onInputLoss,
                     "When the input sends nothing for 5 s: end the show, or show the test card "
                     "until it comes back")
        ->check(CLI::IsMember({"end", "card"}))
        ->capture_default_str();
    liveCommand->add_option("--size", liveSize, "Frame size WIDTHxHEIGHT")->capture_default_str();
    liveCommand->add_option("--fps", live.fps, "Frames per second, 1 to 120")
        ->capture_default_str();
    liveCommand->add_option("--output", live.outputs,
                            "A file, rtmp:// or srt:// URL, or /dev/videoN loopback device; "
                            "give it again for more outputs");
    liveCommand->add_flag("--preview", live.preview, "Show the output in a window (SDL)");
    AddEncoderOptions(*liveCommand, live.encoder);
    liveCommand->add_option("--listen", live.listen, "The endpoint's ADDRESS:PORT")
        ->capture_default_str();
    liveCommand->add_option("--token", live.token, "The endpoint's token (default: a random one)");
    liveCommand->add_option("--banks", live.banks,
                            "The folder of question banks the presenter's page offers");
    liveCommand->add_option("--events", live.events,
                            "Events as JSON lines from a file, or - for stdin");
    liveCommand->add_option("--chat", live.chat,
                            "Read a channel's chat: twitch:CHANNEL, irc://HOST[:PORT]/CHANNEL, "
                            "ircs://HOST[:PORT]/CHANNEL or youtube:VIDEO_ID; give it again for "
                            "more");
    liveCommand->add_option("--youtube-key", live.youtubeKey,
                            "The YouTube Data API key youtube: sources use (default: "
                            "$ASKGAME_YOUTUBE_KEY)");
    liveCommand
        ->add_option("--sub-value", live.subValue,
                     "Points a Twitch tier-1 subscription is worth (tier 2: twice, tier 3: "
                     "five times; bits are a point each)")
        ->check(CLI::Range(1, 65535))
        ->capture_default_str();
    liveCommand->add_option("--scenario", live.scenario,
                            "Replay a scenario's events on the wall clock (a rehearsal)");
    liveCommand->add_option("--transcript", live.transcript, "Where the transcript goes")
        ->capture_default_str();
    AddSeasonOptions(*liveCommand, live.season);
    liveCommand->add_option("--duration", live.duration,
                            "End after this many seconds on air (default: when stopped)");
    liveCommand
        ->add_option("--answer-time", live.round.answerSeconds,
                     "Seconds each question takes answers, shown as a countdown (default: no "
                     "clock; the presenter may give one per question)")
        ->check(CLI::Range(1, show::kMaxAnswerSeconds));
    std::string liveMatch = "lenient";
    liveCommand
        ->add_option("--match", liveMatch,
                     "exact: an answer must equal the bank's; lenient: spaces around, full-width "
                     "forms and Latin case are forgiven, and \"a|b\" accepts either")
        ->check(CLI::IsMember({"exact", "lenient"}))
        ->capture_default_str();
    std::string liveReveal = "at-close";
    liveCommand
        ->add_option("--reveal", liveReveal,
                     "Free mode with a clock: show the right answer and scores when the "
                     "question closes (or the presenter reveals), or at the first right answer")
        ->check(CLI::IsMember({"at-close", "at-first"}))
        ->capture_default_str();

    BankCheckOptions bank;
    std::string bankMode = "challenge";
    auto* bankCommand =
        app.add_subcommand("bank", "Show a question bank as the panels read it, with warnings");
    AddCommon(*bankCommand, common);
    bankCommand->add_option("file", bank.file, "The question bank (.txt)")->required();
    bankCommand->add_option("--mode", bankMode, "Which panel reads it: free or challenge")
        ->check(CLI::IsMember({"free", "challenge"}))
        ->capture_default_str();

    std::vector<std::string> commands;
    for (CLI::App* command : app.get_subcommands({})) {
        commands.push_back(command->get_name());
        command->footer(kExitStatusHelp);
    }
    app.footer(kExitStatusHelp);
    if (argc < 2) { // nothing asked: what can be asked
        std::fputs(app.help().c_str(), stderr);
        return kExitUsage;
    }
    // A first word that is no option and no command is a mistyped command, said as such.
    if (argc > 1 && argv[1][0] != '-' &&
        std::find(commands.begin(), commands.end(), argv[1]) == commands.end()) {
        std::fprintf(stderr, "%s\n", UnknownCommandMessage(argv[1], commands).c_str());
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with status 0; every other refusal is a usage error.
        const int status = app.exit(e);
        return status == 0 ? 0 : kExitUsage;
    }

    if (check->parsed()) return RunInstallCheck({common.plugin});
    if (demoCommand->parsed()) {
        // The demo's bank is UTF-8: read it so unless the user chose a code page.
        setenv("ASKGAME_ACP", "65001", 0);
        demo.pluginPath = common.plugin;
        demo.lcid = ChosenLcid(common);
        demo.verbose = common.verbose;
        return RunDemo(demo);
    }
    if (runCommand->parsed()) return Run(common, run);
    if (scoresCommand->parsed()) return RunScores(scores);
    if (liveCommand->parsed()) {
        if (!ParseFrameSize(liveSize, live.width, live.height)) {
            std::fprintf(stderr,
                         "askgame-host: --size %s: expected WIDTHxHEIGHT, both even, 16 "
                         "to 7680\n",
                         liveSize.c_str());
            return kExitUsage;
        }
        if (!ValidFps(live.fps)) {
            std::fprintf(stderr, "askgame-host: --fps must be from 1 to 120\n");
            return kExitUsage;
        }
        live.pluginPath = common.plugin;
        live.lcid = ChosenLcid(common);
        live.verbose = common.verbose;
        live.mode = liveMode == "free" ? GameMode::Free : GameMode::Challenge;
        live.round.match = *show::MatchRuleNamed(liveMatch);
        live.round.holdReveal = liveReveal == "at-close";
        return RunLive(live);
    }
    if (bankCommand->parsed()) {
        bank.pluginPath = common.plugin;
        bank.lcid = ChosenLcid(common);
        bank.mode = bankMode == "free" ? GameMode::Free : GameMode::Challenge;
        return RunBankCheck(bank);
    }
    return kExitUsage;
}
