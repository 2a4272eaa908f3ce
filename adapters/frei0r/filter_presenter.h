// The presenter's page inside a video tool. The tool's video thread owns the game and must never
// wait for a person, so nothing here runs on it but queuing: the page's readings of the panel run
// there through the live link, after a frame is drawn; message boxes, which the game has already
// had answered OK, and bank choosers, which it has had answered "cancelled", are shown in the page
// from a thread of their own. A bank the presenter then chooses reaches the game as a panel action
// at a later frame, as if chosen with the click.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "adapters/frei0r/live_link.h"
#include "hosting/hosted_game.h"
#include "show/live_presenter.h"
#include "show/ui_thread.h"

namespace show::http {
class Server;
}

namespace frei0r_adapter {

class FilterPresenter {
public:
    // The page for the show fed through `live`, which outlives it; banks are chosen from
    // `banks`, the page speaks the language `lcid`.
    FilterPresenter(LiveLink& live, std::filesystem::path banks, unsigned lcid);
    FilterPresenter(const FilterPresenter&) = delete;
    FilterPresenter& operator=(const FilterPresenter&) = delete;
    // Close(), then waits for the page's threads.
    ~FilterPresenter();

    // Adds the page's routes; before the server starts.
    void AddRoutes(show::http::Server& server) { page_->AddRoutes(server); }
    // What the game hands on of its dialogs: the page shows them without holding up the game.
    hosting::DialogEcho Echo();
    // The video thread, after drawing: the top-down frame of width × height packed pixels.
    void OfferFrame(const std::uint32_t* pixels, unsigned width, unsigned height);
    // The same for a picture in its own format.
    void OfferPicture(const hosting::PictureView& picture) { page_->OfferPicture(picture); }
    // Answers open dialogs and ends the page's streams; call before the live link closes.
    void Close() { page_->Close(); }

private:
    void ChooseBank(const std::string& title);

    LiveLink& live_;
    show::UiThread panelReader_; // waits for frames to read the panel
    show::UiThread dialogs_;     // waits for the presenter to answer a dialog
    std::unique_ptr<show::LivePresenter> page_;
};

} // namespace frei0r_adapter
