#include "show/live_presenter.h"

#include <unistd.h>

#include <atomic>
#include <system_error>

namespace show {

namespace {

// Uploaded banks live only as long as the show: the panel reads a bank when it is chosen. Each
// page has a folder of its own, as one program may run several shows (filters, sources): their
// uploads must not overwrite each other, nor go when another show ends.
std::filesystem::path UploadFolder() {
    static std::atomic<unsigned> pages{0};
    std::error_code code;
    std::filesystem::path base = std::filesystem::temp_directory_path(code);
    if (code) base = "/tmp";
    return base / ("askgame-uploads-" + std::to_string(::getpid()) + "-" + std::to_string(++pages));
}

} // namespace

LivePresenter::LivePresenter(UiThread& ui, PanelAccess panel, std::function<nlohmann::json()> state,
                             LivePresenterOptions options)
    : ui_(ui), panel_(std::move(panel)), uploads_(UploadFolder()) {
    PresenterHooks hooks;
    hooks.refreshPanel = [this] { QueueRefresh(); };
    hooks.state = std::move(state);
    hooks.lcid = options.lcid;
    page_ = std::make_unique<PresenterPage>(std::move(hooks),
                                            BankFolder(std::move(options.banks), uploads_));
    presenters_ = std::make_unique<PagePresenters>(page_->Channel(), options.installBoxPresenter,
                                                   options.installFilePresenter,
                                                   std::move(options.whileWaiting));
}

LivePresenter::~LivePresenter() {
    Close();
    presenters_.reset();
    std::error_code code;
    std::filesystem::remove_all(uploads_, code);
}

// At most one reading waits on the user-interface thread, however long a dialog holds it.
void LivePresenter::QueueRefresh() {
    if (refreshQueued_.exchange(true)) return;
    const bool queued = ui_.Post([this] {
        refreshQueued_ = false;
        panel_([this](DuiLib::CControlUI* root) {
            PanelView view(root);
            view.Refresh();
            const nlohmann::json tree = view.Snapshot()["root"];
            // The page is pushed only changes: the version moves when the tree does.
            if (published_ == 0 || tree != lastTree_) {
                lastTree_ = tree;
                ++published_;
            }
            page_->Channel().PublishPanel({{"version", published_}, {"root", lastTree_}});
        });
    });
    if (!queued) refreshQueued_ = false;
}

void LivePresenter::OfferFrame(const std::uint8_t* firstRow, int width, int height,
                               std::ptrdiff_t stride) {
    page_->Preview().Offer({firstRow, width, height, stride});
}

void LivePresenter::Close() {
    page_->Channel().Close();
}

} // namespace show
