#include "show/live_presenter.h"

#include <atomic>
#include <system_error>

namespace show {

// Uploaded banks live only as long as the show (the panel reads a bank when it is chosen), in a
// folder of the page's own: one program may run several shows (filters, sources), and another
// user of the machine must neither plant files there nor read the banks.
LivePresenter::LivePresenter(UiThread& ui, PanelAccess panel, std::function<nlohmann::json()> state,
                             LivePresenterOptions options)
    : ui_(ui), panel_(std::move(panel)), uploads_(BankFolder::MakeUploadFolder()) {
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
    if (!uploads_.empty()) std::filesystem::remove_all(uploads_, code);
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

void LivePresenter::OfferPicture(const hosting::PictureView& picture) {
    page_->Preview().Offer(picture);
}

void LivePresenter::Close() {
    page_->Channel().Close();
}

} // namespace show
