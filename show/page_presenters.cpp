#include "show/page_presenters.h"

#include "platform/file.h"
#include "platform/utf.h"

namespace show {

PagePresenters::PagePresenters(PresenterChannel& channel, bool boxes, Waiter whileWaiting)
    : channel_(channel), boxes_(boxes), whileWaiting_(std::move(whileWaiting)) {
    if (boxes_)
        previousBoxes_ = SetMessageBoxPresenter([this](const MessageBoxRequest& box) {
            if (previousBoxes_) previousBoxes_(box);
            return ShowBox(channel_, box);
        });
    previousFiles_ = SetOpenFilePresenter(
        [this](const OpenFileRequest& request) { return ChooseFile(request); });
}

PagePresenters::~PagePresenters() {
    SetOpenFilePresenter(std::move(previousFiles_));
    if (boxes_) SetMessageBoxPresenter(std::move(previousBoxes_));
}

int PagePresenters::ShowBox(PresenterChannel& channel, const MessageBoxRequest& box) {
    // The panel's boxes have an OK button only; whatever closes the box in the page is OK.
    channel.Ask(DialogKind::MessageBox, Utf16ToUtf8(box.caption), Utf16ToUtf8(box.text));
    return IDOK;
}

std::optional<std::u16string> PagePresenters::ChooseFile(const OpenFileRequest& request) {
    if (previousFiles_)
        if (auto chosen = previousFiles_(request)) return chosen;
    DialogAnswer answer;
    const auto ask = [&] {
        answer = channel_.Ask(DialogKind::BankChooser, Utf16ToUtf8(request.title), "");
    };
    if (whileWaiting_)
        whileWaiting_(ask);
    else
        ask();
    if (!answer.ok || !answer.bank) return std::nullopt;
    return FromNativePath(answer.bank->string());
}

} // namespace show
