// A small live host for the presenter page's browser test: one game on the test card at 10 frames
// a second, the show's endpoint on a loopback port with the page's routes, until standard input
// closes or SIGTERM comes. Prints "url: http://127.0.0.1:PORT/?token=..." when it is ready.
//
//   askgame_presenter_host free|challenge BANKS_DIR LCID
//
// The game is guarded by one mutex here (frames, viewers' events and the panel take turns); a
// message box open in the page holds the frames until OK, which a test does not notice.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "host/hosted_game.h"
#include "host/plugin_loader.h"
#include "host/test_card.h"
#include "host/transcript.h"
#include "platform/utf.h"
#include "show/endpoint.h"
#include "show/live_presenter.h"
#include "show/show_control.h"
#include "show/ui_thread.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr auto kFramePeriod = std::chrono::milliseconds(100);

std::atomic<bool> stopping{false};

class Show final : public show::ShowControl {
public:
    Show(show::UiThread& ui, std::mutex& mutex, std::unique_ptr<host::HostedGame>& game)
        : ui_(ui), mutex_(mutex), game_(game) {}

    show::Delivery OfferViewerEvent(host::ScenarioEvent event) override {
        std::lock_guard lock(mutex_);
        std::string error;
        if (!game_ || !game_->Apply(event, error)) return {show::Delivery::Result::Refused, error};
        return {};
    }
    show::Delivery ApplyPresenterAction(const host::ScenarioEvent& event) override {
        std::string error = "the show is ending";
        bool done = false;
        ui_.Call([&] {
            std::lock_guard lock(mutex_);
            done = game_ && game_->Apply(event, error);
        });
        if (!done) return {show::Delivery::Result::Refused, error};
        return {};
    }
    nlohmann::json State() override {
        std::lock_guard lock(mutex_);
        if (!game_) return nullptr;
        const auto text = [&](const char16_t* name) {
            return Utf16ToUtf8(game_->ControlText(name).value_or(u""));
        };
        nlohmann::json scores = nlohmann::json::array();
        for (const auto& [who, points] : game_->Scores().Ranking())
            scores.push_back({{"name", who}, {"points", points}});
        return {{"mode", host::GameModeName(game_->Mode())},
                {"question", text(u"EditNum")},
                {"questions", text(u"LabMaxNum")},
                {"rightAnswerer", text(u"RightAnswerer")},
                {"scores", scores}};
    }

private:
    show::UiThread& ui_;
    std::mutex& mutex_;
    std::unique_ptr<host::HostedGame>& game_;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s free|challenge BANKS_DIR LCID\n", argv[0]);
        return 2;
    }
    const host::GameMode mode =
        std::string(argv[1]) == "challenge" ? host::GameMode::Challenge : host::GameMode::Free;
    const unsigned lcid = static_cast<unsigned>(std::stoul(argv[3]));
    std::signal(SIGTERM, [](int) { stopping = true; });

    std::string error;
    auto plugin = host::PluginLibrary::Open(host::DefaultPluginPath(), error);
    if (!plugin) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    host::Transcript transcript;
    show::UiThread ui;
    std::mutex mutex;
    std::unique_ptr<host::HostedGame> game;
    ui.Call([&] {
        game = host::HostedGame::Create(*plugin, mode, kWidth, kHeight, lcid, transcript, error);
    });
    if (!game) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    Show show(ui, mutex, game);
    auto presenter = std::make_unique<show::LivePresenter>(
        ui,
        [&](const std::function<void(DuiLib::CControlUI*)>& task) {
            std::lock_guard lock(mutex);
            task(game ? game->Panel() : nullptr);
        },
        [&] { return show.State(); }, show::LivePresenterOptions{argv[2], lcid, true});
    show::Endpoint endpoint(show, {"127.0.0.1", 0, show::NewToken(), "", 1 << 20});
    presenter->AddRoutes(endpoint.Server());
    if (!endpoint.Start(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::printf("url: %s\n", endpoint.Url().c_str());
    std::fflush(stdout);

    std::thread frames([&] {
        host::TestCard card(kWidth, kHeight);
        host::Frame frame = *host::MakeFrame(kWidth, kHeight);
        for (long n = 0; !stopping; ++n) {
            {
                std::lock_guard lock(mutex);
                card.Draw(n, frame);
                game->ProcessFrame(frame);
            }
            presenter->OfferFrame(frame.pixels.data(), kWidth, kHeight, kWidth * 4);
            std::this_thread::sleep_for(kFramePeriod);
        }
    });
    std::thread input([] {
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        stopping = true;
    });
    input.detach();
    while (!stopping)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    presenter->Close();
    endpoint.Stop();
    frames.join();
    presenter.reset();
    ui.Call([&] {
        std::lock_guard lock(mutex);
        game.reset();
    });
    ui.Stop();
    return 0;
}
