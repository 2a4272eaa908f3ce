// The presenter's page as a live host runs it: the panel read on the user-interface thread and
// pushed to watching pages, the panel's message boxes and file dialog shown in the page, and the
// drawn frames offered to the preview.
//
// Make it after the game (whose message-box and file presenters it wraps) and destroy it before
// the game finishes; Close() it before the user-interface thread stops.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include <nlohmann/json.hpp>

#include "show/page_presenters.h"
#include "show/panel_view.h"
#include "show/presenter_page.h"
#include "show/ui_thread.h"

namespace show {

// Runs `task` with the panel's control tree (null when the game has gone). Called on the
// user-interface thread; a host that guards its game wraps the task in its guard.
using PanelAccess = std::function<void(const std::function<void(DuiLib::CControlUI*)>& task)>;

struct LivePresenterOptions {
    std::filesystem::path banks; // --banks DIR; empty: only uploads
    unsigned lcid = 1033;        // the panel's language
    // True: the page takes over the message-box presenter. False: the host hands each box to
    // ShowBox itself (from the user-interface thread, its own guards released).
    bool installBoxPresenter = true;
    // Runs the wait for the bank chooser's answer (see PagePresenters); empty: as it stands.
    PagePresenters::Waiter whileWaiting;
    // True: the page takes over the file dialog (the panel's bank chooser). False: the host asks
    // the page itself, through AskForBank, from a thread that may wait.
    bool installFilePresenter = true;
};

class LivePresenter {
public:
    // The panel is read only on `ui`, through `panel`; `state` answers the show's state.
    LivePresenter(UiThread& ui, PanelAccess panel, std::function<nlohmann::json()> state,
                  LivePresenterOptions options);
    LivePresenter(const LivePresenter&) = delete;
    LivePresenter& operator=(const LivePresenter&) = delete;
    // Close(), puts back the game's presenters, removes the uploaded banks.
    ~LivePresenter();

    // Adds the page's routes; before the server starts.
    void AddRoutes(http::Server& server) { page_->AddRoutes(server); }
    // Shows a message box in the page and waits for OK (or Close()); answers IDOK.
    int ShowBox(const MessageBoxRequest& box) {
        return PagePresenters::ShowBox(page_->Channel(), box);
    }
    // Shows the bank chooser in the page and waits for the presenter's choice (or Close()).
    std::optional<std::filesystem::path> AskForBank(const std::string& title) {
        return PagePresenters::AskForBank(page_->Channel(), title);
    }
    // The bank folder the page chooses from, and where its uploads go.
    BankFolder& Banks() { return page_->Banks(); }
    // The video thread, after drawing: a top-down BGRA frame.
    void OfferFrame(const std::uint8_t* firstRow, int width, int height, std::ptrdiff_t stride);
    // The same for a picture in its own format.
    void OfferPicture(const hosting::PictureView& picture);
    // Answers an open box with OK and a bank chooser with no bank, and ends the page streams.
    // Idempotent.
    void Close();

private:
    void QueueRefresh();

    UiThread& ui_;
    PanelAccess panel_;
    std::atomic<bool> refreshQueued_{false};
    nlohmann::json lastTree_;     // user-interface thread only
    std::uint64_t published_ = 0; // the version of lastTree_
    std::filesystem::path uploads_;
    std::unique_ptr<PresenterPage> page_;
    std::unique_ptr<PagePresenters> presenters_;
};

} // namespace show
