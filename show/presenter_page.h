// The presenter's page on the show's HTTP endpoint: the page itself, a stream of the panel's
// changes, the preview, the bank folder and the answers to the panel's dialogs.
//
//   GET  /  /app.js  /app.css       the page
//   GET  /api/page/events            Server-Sent Events: "hello", "panel", "state", "dialog"
//   GET  /api/page/preview.jpg       the latest output frame
//   GET  /api/page/banks             the banks of the bank folder
//   POST /api/page/dialog            {"id": N, "ok": true} or {"id": N, "bank": "NAME"} or
//                                    {"id": N, "ok": false}
//   POST /api/page/upload?dialog=N   a bank file as the body; answers the bank chooser N
//
// The page's clicks, typing and options go to the endpoint's POST /api/panel, the road every
// presenter action takes. The endpoint checks the token on every route.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include <nlohmann/json.hpp>

#include "show/bank_folder.h"
#include "show/presenter_channel.h"
#include "show/preview_frames.h"

namespace show::http {
class Server;
}

namespace show {

// How often a watching page has the panel and the state read again.
inline constexpr std::chrono::milliseconds kPageRefreshInterval{200};
// How long a stream waits for a change before it sends a keep-alive.
inline constexpr std::chrono::milliseconds kPageStreamTick{250};

struct PresenterHooks {
    // Has the user-interface thread read the panel and publish it to the channel; must not wait
    // for it (the thread may be showing a dialog).
    std::function<void()> refreshPanel;
    // The show's state, as GET /api/state answers it; called on the server's threads.
    std::function<nlohmann::json()> state;
    // The panel's language (a Windows LCID), for the page's own strings.
    unsigned lcid = 1033;
};

class PresenterPage {
public:
    PresenterPage(PresenterHooks hooks, BankFolder banks);

    // Adds the page's routes. Call before the server starts.
    void AddRoutes(http::Server& server);

    PresenterChannel& Channel() { return channel_; }
    PreviewFrames& Preview() { return preview_; }
    BankFolder& Banks() { return banks_; }

private:
    void Refresh();

    PresenterHooks hooks_;
    BankFolder banks_;
    std::mutex banksMutex_;
    PresenterChannel channel_;
    PreviewFrames preview_;
    std::atomic<std::int64_t> lastRefresh_{0};
};

} // namespace show
