// One game as a host runs it: the effect and its panel made by the plug-in, the panel attached
// to a paint manager with a window handle, the host's audience source bound to the effect, and
// the host's presenters for message boxes, the file dialog and debugger output installed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "askgame/effect_panel.h"
#include "hosting/audience_source.h"
#include "hosting/frame.h"
#include "hosting/game_presenters.h"
#include "hosting/plugin_loader.h"
#include "hosting/scenario.h"
#include "hosting/scores.h"
#include "hosting/transcript.h"
#include "platform/debug.h"
#include "platform/shell.h"
#include "season/season_event.h"
#include "toolkit/UIlib.h"

namespace hosting {

// What a game answered without asking anyone: each message box (answered OK at once) and each file
// dialog no chosen file answered (answered as cancelled). A host that shows them to a presenter
// elsewhere does it from here without holding up the game. Called on the thread of the game call.
struct DialogEcho {
    std::function<void(const MessageBoxRequest& box)> box;
    std::function<void(const OpenFileRequest& dialog)> unansweredFile;
};

// A message box as the presenter saw it, in UTF-8.
struct MessageBoxSeen {
    std::string caption;
    std::string text;
};

class HostedGame final : private GamePresenter {
public:
    // Creates effect and panel, initialises the panel with `lcid`, attaches and binds it, and
    // readies the effect for width × height frames. Null, with the reason in `error`, when the
    // plug-in cannot make the effect or the panel. The plug-in's debug traces go to `traces`
    // (empty: nowhere), one line each and each once: the plug-in writes many both as ANSI and as
    // wide text.
    using TraceSink = std::function<void(const std::string& line)>;
    static std::unique_ptr<HostedGame> Create(PluginLibrary& plugin, GameMode mode, int width,
                                              int height, LCID lcid, Transcript& transcript,
                                              std::string& error, TraceSink traces = {});
    HostedGame(const HostedGame&) = delete;
    HostedGame& operator=(const HostedGame&) = delete;
    // Deletes the panel, destroys the effect and checks that every message came back.
    ~HostedGame();

    // Plays one viewer or presenter event (stills and notes are the player's). False, with
    // the reason in `error`, when the panel has no such control or refuses the action.
    bool Apply(const ScenarioEvent& event, std::string& error);
    // Hands one top-down frame to the effect, which draws on it in place.
    bool ProcessFrame(Frame& frame);
    // Hands the effect a frame as it lies: width × |height| BGRA pixels, bottom-up for a
    // positive height, top-down for a negative one. Signals wait for DeliverSignals().
    bool DrawFrame(BYTE* pixels, int width, int height);
    // Answers the effect's signals with "GameNotify" to the panel (on the panel's thread).
    void DeliverSignals();
    // The effect takes viewers' messages from `source` instead, which must outlive the game;
    // a host that calls the game from two threads puts a guard in front of Audience() this way.
    void RouteAudienceThrough(IAudienceSource& source);
    // Hands the effect a top-down buffer of width × height packed BGRA pixels to draw on in
    // place, as video tools hold their frames.
    bool ProcessTopDown(BYTE* pixels, int width, int height);

    // True when clicking `control` pushes the panel's question to the effect.
    bool IsQuestionPush(const std::string& control) const;
    // The answer the panel would push with its question.
    std::u16string AnswerField() const;
    // The text of a panel control, or nothing when there is no such control.
    std::optional<std::u16string> ControlText(const char16_t* name) const;
    // The panel's control tree, for a host that presents it; null once finished.
    DuiLib::CControlUI* Panel() const { return panel_; }
    // Answers the next file dialog with `path` (a Linux path).
    void ChooseNextFile(const std::string& path);

    // Ends the game: panel and effect go, the audience checks what is still out. Idempotent.
    void Finish();

    // Every right answer and gift the host sees from now on also goes into `recorder` (null:
    // none). The recorder outlives the game.
    void RecordSeasonInto(season::SeasonEventSink* recorder) { season_ = recorder; }
    // How the recorded events fare; nothing when none are recorded.
    std::optional<season::SinkHealth> SeasonHealth() const {
        if (!season_) return std::nullopt;
        return season_->Health();
    }
    // Tells `echo` of every dialog from now on (empty: none).
    void EchoDialogsTo(DialogEcho echo) { echo_ = std::move(echo); }
    // Runs the panel's long work (reading and parsing a question bank, up to the bank cap)
    // through `gate`, which calls the task it is given. A host whose other threads share this
    // game's state under a lock of its own lets go of the lock there: the work touches only the
    // panel, and reaches the host only through its presenters and audience source, which such a
    // host guards each on its own.
    using LongWorkGate = std::function<void(const std::function<void()>& task)>;
    void RunLongPanelWorkThrough(LongWorkGate gate) { longWork_ = std::move(gate); }

    GameMode Mode() const { return mode_; }
    // The panel's paint manager: its control tree, for a host that shows the panel.
    DuiLib::CPaintManagerUI& PaintManager() { return manager_; }
    HostAudienceSource& Audience() { return audience_; }
    const ScoreTable& Scores() const { return scores_; }
    int MessageBoxes() const { return messageBoxes_; }
    // The last message box the game showed, if any.
    const std::optional<MessageBoxSeen>& LastMessageBox() const { return lastBox_; }

private:
    HostedGame(PluginLibrary& plugin, GameMode mode, Transcript& transcript);

    DuiLib::CControlUI* FindControl(const std::string& name, std::string& error) const;
    bool Click(const std::string& name, std::string& error);
    void LogPanelState(const std::string& action);
    void OnMessageHandedOut(const AudienceMessage& message);
    void CountRightAnswer(std::uint32_t viewer, const std::string& name, const std::string& who);

    // ---- GamePresenter: boxes are answered OK and written down; the file dialog answers the
    // file a scenario chose; traces go to the transcript.
    int PresentMessageBox(const MessageBoxRequest& box) override;
    std::optional<std::u16string> PresentOpenFile(const OpenFileRequest& dialog) override;
    void PresentTrace(std::string_view ansi) override;
    void PresentTrace(std::u16string_view wide) override;
    void Trace(std::string line);

    PluginLibrary& plugin_;
    GameMode mode_;
    Transcript& transcript_;
    HostAudienceSource audience_;
    DuiLib::CPaintManagerUI manager_;
    IVideoEffect* effect_ = nullptr;
    IEffPlugInUI* panel_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    ScoreTable scores_;
    FreeAnswerJudge judge_;
    season::SeasonEventSink* season_ = nullptr;
    DialogEcho echo_;
    LongWorkGate longWork_;
    TraceSink traces_;
    std::string lastTrace_; // the latest trace, which its other form repeats
    // Challenge players' full names by id: the panel shows a right answerer's name cut short.
    std::unordered_map<std::uint32_t, std::string> giftSenders_;
    int messageBoxes_ = 0;
    std::optional<MessageBoxSeen> lastBox_;
    std::string nextFile_;
    bool finished_ = false;
};

} // namespace hosting
