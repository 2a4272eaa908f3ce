// Puts the presenter's page in front of the panel's message boxes and file dialog, for as long as
// it lives. A box goes first to the presenter it replaced (the host's record of it), then shows
// in the page until the presenter presses OK. A file dialog the replaced presenter does not answer
// (no bank was chosen over the API) becomes the page's bank chooser.
#pragma once

#include "platform/shell.h"
#include "show/presenter_channel.h"

namespace show {

class PagePresenters {
public:
    explicit PagePresenters(PresenterChannel& channel);
    PagePresenters(const PagePresenters&) = delete;
    PagePresenters& operator=(const PagePresenters&) = delete;
    // Puts back the presenters it replaced. Destroy it before whoever installed those removes
    // them.
    ~PagePresenters();

private:
    int ShowBox(const MessageBoxRequest& box);
    std::optional<std::u16string> ChooseFile(const OpenFileRequest& request);

    PresenterChannel& channel_;
    MessageBoxPresenter previousBoxes_;
    OpenFilePresenter previousFiles_;
};

} // namespace show
