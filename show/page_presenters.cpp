#include "show/page_presenters.h"

#include "platform/file.h"
#include "platform/utf.h"

namespace show {

PagePresenters::PagePresenters(PresenterChannel& channel, bool boxes, bool files,
                               Waiter whileWaiting)
    : channel_(channel), boxes_(boxes), files_(files), whileWaiting_(std::move(whileWaiting)) {
    if (boxes_)
        previousBoxes_ = SetMessageBoxPresenter([this](const MessageBoxRequest& box) {
            if (previousBoxes_) previousBoxes_(box);
            return ShowBox(channel_, box);
        });
    if (files_)
        previousFiles_ = SetOpenFilePresenter(
            [this](const OpenFileRequest& request) { return ChooseFile(request); });
}

PagePresenters::~PagePresenters() {
    if (files_) SetOpenFilePresenter(std::move(previousFiles_));
    if (boxes_) SetMessageBoxPresenter(std::move(previousBoxes_));
}

int PagePresenters::ShowBox(PresenterChannel& channel, const MessageBoxRequest& box) {
    // The panel's boxes have an OK button only; whatever closes the box in the page is OK.
    channel.Ask(DialogKind::MessageBox, Utf16ToUtf8(box.caption), Utf16ToUtf8(box.text));
    return IDOK;
}

std::optional<std::filesystem::path> PagePresenters::AskForBank(PresenterChannel& channel,
                                                                const std::string& title) {
    DialogAnswer answer = channel.Ask(DialogKind::BankChooser, title, "");
    if (!answer.ok) return std::nullopt;
    return std::move(answer.bank);
}

std::optional<std::u16string> PagePresenters::ChooseFile(const OpenFileRequest& request) {
    if (previousFiles_)
        if (auto chosen = previousFiles_(request)) return chosen;
    std::optional<std::filesystem::path> bank;
    const auto ask = [&] { bank = AskForBank(channel_, Utf16ToUtf8(request.title)); };
    if (whileWaiting_)
        whileWaiting_(ask);
    else
        ask();
    if (!bank) return std::nullopt;
    return FromNativePath(bank->string());
}

} // namespace show
