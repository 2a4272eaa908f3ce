#include "host/install_check.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "host/bank_check.h"
#include "host/exit_status.h"
#include "hosting/frame_io.h"
#include "hosting/hosted_game.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/font_face.h"
#include "platform/utf.h"
#include "toolkit/UIlib.h"

namespace host {

using namespace hosting;

namespace {

namespace fs = std::filesystem;

// The fixed path buffers of the plug-in: a path needs room for its terminator.
constexpr std::size_t kPathUnits = 260;
constexpr const char* kSkinFiles[] = {"Skin/challengeMode.xml", "Skin/freeAnwser.xml"};
constexpr const char* kSampleBank = "VideoGames/AskGame/Ti_Ku_Yang_Li.txt";
constexpr const char16_t* kGameFont = u"宋体";
struct Language {
    unsigned lcid;
    const char* file;
};
constexpr Language kLanguages[] = {{1033, "VideoGames/AskGame/English.xml"},
                                   {2052, "VideoGames/AskGame/ChineseSimplified.xml"},
                                   {1028, "VideoGames/AskGame/ChineseTraditional.xml"}};

enum class State { Found, Missing, Broken };

class Report {
public:
    void Line(const char* item, State state, const std::string& what, bool needed = true) {
        static constexpr const char* kNames[] = {"found", "missing", "broken"};
        std::printf("%-12s %-8s %s\n", item, kNames[static_cast<int>(state)], what.c_str());
        if (state != State::Found && needed) ok_ = false;
    }
    bool ok() const { return ok_; }

private:
    bool ok_ = true;
};

fs::path HostFolder() {
    std::error_code code;
    const fs::path exe = fs::read_symlink("/proc/self/exe", code);
    return code ? fs::current_path() : exe.parent_path();
}

// A data file as the plug-in forms its path: too long a path is a broken install even when
// the file is there.
bool PathFits(const fs::path& path, Report& report, const char* item) {
    const std::size_t units = Utf8ToUtf16(path.string()).size();
    if (units < kPathUnits) return true;
    report.Line(item, State::Broken,
                path.string() + ": the path is " + std::to_string(units) +
                    " units long, the plug-in's limit is " + std::to_string(kPathUnits - 1) +
                    "; install in a shorter folder");
    return false;
}

void CheckExports(const std::string& pluginPath, Report& report) {
    void* library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const bool exists = fs::exists(pluginPath);
        report.Line("plug-in", exists ? State::Broken : State::Missing,
                    pluginPath + ": " + dlerror());
        return;
    }
    const auto missing = PluginLibrary::MissingExports(library);
    dlclose(library);
    std::string names;
    for (const auto& name : missing)
        names += " " + name;
    report.Line("plug-in", missing.empty() ? State::Found : State::Broken,
                pluginPath + (missing.empty() ? " (all three exports)" : ": lacks" + names));
}

void CheckSkins(const fs::path& folder, Report& report) {
    for (const char* name : kSkinFiles) {
        const fs::path path = folder / name;
        if (!PathFits(path, report, "skin")) continue;
        if (!fs::is_regular_file(path)) {
            report.Line("skin", State::Missing, path.string());
            continue;
        }
        DuiLib::CDialogBuilder builder;
        const std::u16string wide = FromNativePath(path.string());
        std::unique_ptr<DuiLib::CControlUI> root(builder.Create(wide.c_str()));
        if (root)
            report.Line("skin", State::Found, path.string());
        else
            report.Line("skin", State::Broken,
                        path.string() + ": " + Utf16ToUtf8(builder.GetLastErrorMessage().Str()));
    }
}

// Each language through the plug-in itself: its panels load the file and trace what fails.
void CheckLanguages(PluginLibrary* plugin, const fs::path& folder, Report& report) {
    for (const Language& language : kLanguages) {
        const fs::path path = folder / language.file;
        if (!PathFits(path, report, "language")) continue;
        if (!fs::is_regular_file(path)) {
            report.Line("language", State::Missing, path.string());
            continue;
        }
        if (!plugin) {
            report.Line("language", State::Found, path.string() + " (not read: no plug-in)");
            continue;
        }
        std::vector<std::string> problems;
        for (GameMode mode : {GameMode::Free, GameMode::Challenge}) {
            Transcript transcript;
            std::string error;
            std::vector<std::string> traces;
            // The traces the plug-in writes while it is made are what tell of its language file.
            auto game =
                HostedGame::Create(*plugin, mode, 320, 240, language.lcid, transcript, error,
                                   [&traces](const std::string& line) { traces.push_back(line); });
            if (!game) {
                problems.push_back(error);
                continue;
            }
            game->Finish();
            // The plug-in's own failure traces; the games' diagnostics are not problems.
            for (const std::string& trace : traces)
                if (trace.starts_with("askgame: ") &&
                    (trace.find("language file") != std::string::npos ||
                     trace.find("data path") != std::string::npos) &&
                    std::find(problems.begin(), problems.end(), trace) == problems.end())
                    problems.push_back(trace);
        }
        if (problems.empty())
            report.Line("language", State::Found, path.string());
        else
            for (const std::string& problem : problems)
                report.Line("language", State::Broken, path.string() + ": " + problem);
    }
}

void CheckSampleBank(const fs::path& folder, Report& report) {
    const fs::path path = folder / kSampleBank;
    if (!PathFits(path, report, "sample bank")) return;
    const BankReview review =
        ReviewBankFile(path.string(), QuestionCleaning::CollapseThenTrimLines);
    if (review.status == FileReadStatus::Missing) {
        report.Line("sample bank", State::Missing, path.string());
    } else if (review.status != FileReadStatus::Ok) {
        report.Line("sample bank", State::Broken,
                    path.string() + ": " + FileReadStatusText(review.status));
    } else if (review.bank.count() == 0) {
        report.Line("sample bank", State::Broken,
                    path.string() + ": no question in code page " + std::to_string(GetACP()) +
                        (review.warnings.empty() ? "" : "; " + review.warnings.front()));
    } else {
        report.Line("sample bank", State::Found,
                    path.string() + " (" + std::to_string(review.bank.count()) + " questions)");
    }
}

void CheckFont(Report& report) {
    std::string file;
    int index = 0;
    if (FindFontFile(kGameFont, &file, &index) && fs::is_regular_file(file))
        report.Line("font", State::Found, Utf16ToUtf8(kGameFont) + " is " + file);
    else
        report.Line("font", State::Missing,
                    Utf16ToUtf8(kGameFont) + ": no font file (install fonts-arphic-uming)");
}

} // namespace

int RunInstallCheck(const InstallCheckOptions& options) {
    Report report;
    const fs::path hostFolder = HostFolder();
    const fs::path pluginFolder = fs::path(options.pluginPath).parent_path();
    CheckExports(options.pluginPath, report);
    std::string error;
    auto plugin = PluginLibrary::Open(options.pluginPath, error);
    CheckSkins(pluginFolder.empty() ? hostFolder : pluginFolder, report);
    CheckLanguages(plugin.get(), hostFolder, report);
    CheckSampleBank(hostFolder, report);
    CheckFont(report);
    const bool ffmpeg = FfmpegAvailable();
    report.Line("ffmpeg", ffmpeg ? State::Found : State::Missing,
                ffmpeg ? "videos in and out"
                       : "videos cannot be read or written; PNG frames instead",
                false);
    return report.ok() ? 0 : kExitUnavailable;
}

} // namespace host
