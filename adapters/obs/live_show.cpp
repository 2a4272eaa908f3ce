#include "adapters/obs/live_show.h"

#include <util/base.h>

#include <functional>

#include "adapters/obs/canvas.h"
#include "platform/shell.h"

namespace obs_adapter {

namespace {

void SayInLog(const std::string& line) {
    blog(LOG_WARNING, "askgame: %s", line.c_str());
}

} // namespace

std::unique_ptr<LiveShow> LiveShow::Start(hosting::PluginLibrary& plugin,
                                          const SourceSettings& settings, int width, int height,
                                          double fps, const std::string& token,
                                          std::string& error) {
    std::unique_ptr<LiveShow> show(new LiveShow(width, height));
    show::LiveGameOptions options;
    options.mode = settings.mode;
    options.width = width;
    options.height = height;
    options.fps = fps;
    options.lcid = settings.lcid != 0 ? settings.lcid : GetSystemDefaultLCID();
    show->season_ = settings.season;
    // No season file is named here, so one that cannot be used is only warned of.
    show->recorder_ = show::OpenSeasonRecorder(show->season_, settings.mode, error, SayInLog);
    error.clear();
    options.season = show->recorder_.get();
    show->game_ = show::LiveGame::Create(plugin, show->ui_, show->transcript_, options, error);
    if (!show->game_) return nullptr;

    show::EndpointOptions endpoint;
    endpoint.address = settings.address;
    endpoint.port = settings.port;
    endpoint.token = token;
    endpoint.banks = settings.banks;
    show->endpoint_ = std::make_unique<show::Endpoint>(*show->game_, endpoint);
    show::LiveGame& game = *show->game_;
    show->presenter_ = std::make_unique<show::LivePresenter>(
        show->ui_,
        [&game](const std::function<void(DuiLib::CControlUI*)>& task) {
            game.WithGame([&](hosting::HostedGame& hosted) { task(hosted.Panel()); });
        },
        [&game] { return game.State(); },
        show::LivePresenterOptions{
            settings.banks, static_cast<unsigned>(options.lcid), false,
            [&game](const std::function<void()>& wait) { game.ReleasedWhileWaiting(wait); }});
    show::LivePresenter& presenter = *show->presenter_;
    game.SetMessageBoxHandler(
        [&presenter](const MessageBoxRequest& box) { return presenter.ShowBox(box); });
    presenter.AddRoutes(show->endpoint_->Server());
    show::AddSeasonRoute(show->endpoint_->Server(), show->season_);
    // The channels' chat joins the endpoint's; their viewers' ids are kept with the season. The
    // state lists them before the endpoint's threads may read it.
    show->chat_ = std::make_unique<show::chat::ChatSources>(
        game, show->season_.off ? std::string() : show::SeasonPath(show->season_),
        show::chat::ChatOptions::FromEnvironment());
    for (const std::string& source : settings.chat) // each read with the settings
        if (!show->chat_->Add(source, error)) SayInLog("chat: " + error);
    error.clear();
    game.ReportChatSources([chat = show->chat_.get()] { return chat->Json(); });
    if (!show->endpoint_->Start(error)) return nullptr; // the destructor takes it all down
    show->chat_->Start();
    return show;
}

LiveShow::~LiveShow() {
    if (chat_) chat_->Stop();
    if (presenter_) presenter_->Close();
    if (game_) game_->SetMessageBoxHandler({});
    if (endpoint_) endpoint_->Stop();
    presenter_.reset();
    if (game_) game_->Finish();
    ui_.Stop();
    show::FinishSeasonRecording(recorder_.get(), season_, SayInLog);
}

void LiveShow::Draw(std::uint8_t* canvas) {
    game_->DrawFrame(canvas, width_, -height_); // rows top-down, as OBS stores them
    presenter_->OfferFrame(canvas, width_, height_,
                           static_cast<std::ptrdiff_t>(width_) * kCanvasBytesPerPixel);
}

} // namespace obs_adapter
