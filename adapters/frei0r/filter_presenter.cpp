#include "adapters/frei0r/filter_presenter.h"

#include <string>

#include "hosting/frame.h"
#include "platform/utf.h"

namespace frei0r_adapter {

FilterPresenter::FilterPresenter(LiveLink& live, std::filesystem::path banks, unsigned lcid)
    : live_(live) {
    show::LivePresenterOptions options;
    options.banks = std::move(banks);
    options.lcid = lcid;
    options.installBoxPresenter = false;
    options.installFilePresenter = false;
    page_ = std::make_unique<show::LivePresenter>(
        panelReader_, [this](const LiveLink::PanelTask& task) { live_.ReadPanel(task); },
        [this] { return live_.State(); }, std::move(options));
}

FilterPresenter::~FilterPresenter() {
    Close();
    dialogs_.Stop();
    panelReader_.Stop();
}

hosting::DialogEcho FilterPresenter::Echo() {
    hosting::DialogEcho echo;
    echo.box = [this](const MessageBoxRequest& box) {
        // The request's texts live only as long as the call: the page gets copies.
        dialogs_.Post([this, caption = std::u16string(box.caption), text = std::u16string(box.text),
                       type = box.type] {
            page_->ShowBox({nullptr, text, caption, type});
        });
    };
    echo.unansweredFile = [this](const OpenFileRequest& dialog) {
        dialogs_.Post([this, title = Utf16ToUtf8(dialog.title)] { ChooseBank(title); });
    };
    return echo;
}

void FilterPresenter::ChooseBank(const std::string& title) {
    const auto bank = page_->AskForBank(title);
    if (!bank) return;
    hosting::ScenarioEvent choice;
    choice.kind = hosting::ActionKind::Bank;
    choice.path = bank->string();
    live_.ApplyPresenterAction(choice); // its answer shows in the panel the page reads next
}

void FilterPresenter::OfferFrame(const std::uint32_t* pixels, unsigned width, unsigned height) {
    page_->OfferFrame(reinterpret_cast<const std::uint8_t*>(pixels), static_cast<int>(width),
                      static_cast<int>(height),
                      static_cast<std::ptrdiff_t>(width) * hosting::kBytesPerPixel);
}

} // namespace frei0r_adapter
