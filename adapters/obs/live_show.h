// The live show one askgame source runs, made of the same pieces as `askgame-host live`: the
// game with its user-interface thread, the endpoint on a loopback address with the show's token,
// and the presenter's page on it. Frames come from the caller, on its video thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "adapters/obs/source_settings.h"
#include "hosting/plugin_loader.h"
#include "hosting/transcript.h"
#include "show/chat/chat_sources.h"
#include "show/endpoint.h"
#include "show/live_game.h"
#include "show/live_presenter.h"
#include "show/season.h"
#include "show/ui_thread.h"

namespace obs_adapter {

class LiveShow {
public:
    // The show for `settings` on width × height frames at `fps` (the transcript's clock), with
    // the endpoint serving. Null, with the reason in `error`, when the game cannot be made or
    // the address cannot be bound.
    static std::unique_ptr<LiveShow> Start(hosting::PluginLibrary& plugin,
                                           const SourceSettings& settings, int width, int height,
                                           double fps, const std::string& token,
                                           std::string& error);
    LiveShow(const LiveShow&) = delete;
    LiveShow& operator=(const LiveShow&) = delete;
    // The endpoint closes, then the game finishes, then the user-interface thread ends and the
    // season's last events are committed.
    ~LiveShow();

    // Draws the game on a top-down canvas of the show's size and offers it to the page's preview.
    void Draw(std::uint8_t* canvas);

    std::string Url() const { return endpoint_->Url(); }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    LiveShow(int width, int height) : width_(width), height_(height) {}

    int width_;
    int height_;
    show::UiThread ui_;
    hosting::Transcript transcript_;
    show::SeasonOptions season_;
    std::unique_ptr<season::SeasonRecorder> recorder_; // outlives the game, which records into it
    std::unique_ptr<show::LiveGame> game_;
    std::unique_ptr<show::Endpoint> endpoint_;
    std::unique_ptr<show::LivePresenter> presenter_;
    std::unique_ptr<show::chat::ChatSources> chat_;
};

} // namespace obs_adapter
