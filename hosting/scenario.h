// A scenario: the game mode, the viewers, and timed events (gifts, chat, presenter actions on
// panel controls, stills) played over a video. Written as JSON by people; the format is
// described in docs/scenario.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hosting {

enum class GameMode { Free, Challenge };

struct Viewer {
    std::uint32_t id = 0;
    std::u16string name;
};

enum class ActionKind {
    Gift,   // a viewer sends a gift
    Chat,   // a viewer sends a chat message
    Click,  // the presenter clicks a button
    Type,   // the presenter types into an edit
    Option, // the presenter sets an option's state
    Bank,   // the presenter chooses a question bank file
    Still,  // the host saves the frame as a PNG
    Note,   // a line in the transcript
};

struct ScenarioEvent {
    double at = 0;  // seconds from the start
    long frame = 0; // the frame it happens before, from `at` and the frame rate
    ActionKind kind = ActionKind::Note;
    Viewer viewer;               // Gift, Chat
    std::uint32_t chatKind = 0;  // Chat: the message kind code
    std::uint16_t giftCount = 0; // Gift
    std::uint16_t giftValue = 0; // Gift
    std::string control;         // Click, Type, Option
    std::u16string text;         // Chat, Type
    bool selected = false;       // Option
    std::string path;            // Bank: resolved file path; Still: file name stem; Note: text
};

struct Scenario {
    GameMode mode = GameMode::Free;
    std::string title;
    int width = 1280;
    int height = 720;
    double fps = 25;
    double duration = 0; // seconds; 0 until resolved
    std::optional<std::uint32_t> lcid;
    std::vector<ScenarioEvent> events; // in frame order; equal frames keep file order

    long FrameCount() const;
    // Re-times the events for another frame rate.
    void SetFps(double fps);
};

// The largest scenario file read, in bytes: far beyond any show written by hand (a scenario of
// 200,000 viewers, each with a chat, is about 20 MB), and a bound on what a wrong path can cost.
inline constexpr std::size_t kMaxScenarioBytes = 64 * 1024 * 1024;

struct ScenarioResult {
    std::optional<Scenario> scenario;
    std::string error; // "file:line:column: what" or "file: where: what"
};

// Parses scenario text. `fileName` names it in errors; relative bank paths are resolved
// against `baseDir`.
ScenarioResult ParseScenario(std::string_view text, std::string_view fileName,
                             std::string_view baseDir);
// Reads and parses a scenario file. Only a regular file of at most kMaxScenarioBytes is read: a
// FIFO or a device is refused before it is opened, as it could block or never end.
ScenarioResult LoadScenarioFile(const std::string& path);

// "1280x720" → width, height: both even, 16 to 7680.
bool ParseFrameSize(std::string_view text, int& width, int& height);
bool ValidFrameSize(int width, int height);
bool ValidFps(double fps);
// Gives `scenario` the frame size and rate a command line chose, where it chose one. False,
// with the message for the user in `error`, when either is unusable.
bool ApplyFrameOptions(Scenario& scenario, const std::optional<std::string>& size,
                       std::optional<double> fps, std::string& error);

const char* GameModeName(GameMode mode);

} // namespace hosting
