// What the host tells the presenter's page and what the page answers, between threads: the
// panel's latest tree, the show's state, and the dialogs (message boxes, the bank chooser) the
// panel opens and waits on.
//
// The user-interface thread publishes the panel and asks dialogs; HTTP threads read streams
// and answer dialogs. A dialog blocks the thread that asks it, as a modal box does, until a page
// answers it or the channel closes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace show {

// Pages that may watch at once; each holds one of the server's threads.
inline constexpr int kMaxPageStreams = 4;

enum class DialogKind { MessageBox, BankChooser };

struct DialogAnswer {
    bool ok = false;                           // OK pressed, or a bank chosen
    std::optional<std::filesystem::path> bank; // the chosen bank, for the bank chooser
};

class PresenterChannel {
public:
    PresenterChannel() = default;
    PresenterChannel(const PresenterChannel&) = delete;
    PresenterChannel& operator=(const PresenterChannel&) = delete;

    // ---- The host's side

    // The panel's tree as the page draws it ({"version": N, "root": ...}); ignored when its
    // version is not newer than the last one published.
    void PublishPanel(nlohmann::json snapshot);
    // The show's state; goes out only when it differs from the last one.
    void PublishState(nlohmann::json state);
    // Shows a dialog in every watching page and waits for the first answer. With no page
    // watching, or once closed, answers at once: OK for a message box, no bank for the chooser.
    DialogAnswer Ask(DialogKind kind, std::string caption, std::string text);
    // Releases every wait (dialogs answer as above, streams end). Idempotent.
    void Close();

    // ---- The page's side

    // Answers the open dialog `id`. False when that dialog is not the open one (already answered
    // by another page, or never asked).
    bool Answer(std::uint64_t id, DialogAnswer answer);
    // The open dialog as the page shows it, or null.
    nlohmann::json OpenDialog() const;
    nlohmann::json Panel() const;

    // One page's stream of changes, as Server-Sent Events text.
    class Stream {
    public:
        Stream(const Stream&) = delete;
        Stream& operator=(const Stream&) = delete;
        ~Stream();
        // Everything newer than what this stream sent, waiting up to `wait` for something;
        // a keep-alive comment when nothing came. Nothing once the channel is closed.
        std::optional<std::string> Next(std::chrono::milliseconds wait);

    private:
        friend class PresenterChannel;
        explicit Stream(PresenterChannel& channel) : channel_(channel) {}
        PresenterChannel& channel_;
        std::uint64_t panelSeen_ = 0;
        std::uint64_t stateSeen_ = 0;
        std::uint64_t dialogSeen_ = 0;
    };
    // A new stream that starts with the current panel, state and dialog; null when
    // kMaxPageStreams are open already or the channel is closed.
    std::unique_ptr<Stream> OpenStream();
    int Watching() const;

private:
    nlohmann::json DialogJsonLocked() const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    int streams_ = 0;

    nlohmann::json panel_;
    std::uint64_t panelVersion_ = 0; // the snapshot's own version
    std::uint64_t panelSerial_ = 0;  // counts publications, for the streams
    nlohmann::json state_;
    std::uint64_t stateSerial_ = 0;

    std::uint64_t dialogSerial_ = 0; // counts openings and closings
    std::uint64_t nextDialogId_ = 1;
    std::uint64_t openDialogId_ = 0; // 0: none open
    DialogKind openKind_ = DialogKind::MessageBox;
    std::string openCaption_;
    std::string openText_;
    std::optional<DialogAnswer> answer_;
};

} // namespace show
