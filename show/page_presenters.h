// Puts the presenter's page in front of the panel's message boxes and file dialog, for as long as
// it lives. A box goes first to the presenter it replaced (the host's record of it), then shows
// in the page until the presenter presses OK. A file dialog the replaced presenter does not answer
// (no bank was chosen over the API) becomes the page's bank chooser.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "platform/shell.h"
#include "show/presenter_channel.h"

namespace show {

class PagePresenters {
public:
    // With `boxes` false the message boxes are not taken over: a host that hands its boxes to the
    // page itself (through ShowBox) keeps its own box presenter. With `files` false the file
    // dialog is not: a host whose game must never wait asks the page itself (AskForBank).
    // `whileWaiting` runs the wait for the page's answer to a file dialog (a host that holds a
    // guard during panel actions lets go of it there); empty: the wait runs as it stands.
    using Waiter = std::function<void(const std::function<void()>&)>;
    explicit PagePresenters(PresenterChannel& channel, bool boxes = true, bool files = true,
                            Waiter whileWaiting = {});
    // Shows the box in the page and waits for OK; answers IDOK.
    static int ShowBox(PresenterChannel& channel, const MessageBoxRequest& box);
    // Shows the bank chooser titled `title` in the page and waits: the bank chosen or uploaded,
    // or nothing when the presenter chose none (or no page watches).
    static std::optional<std::filesystem::path> AskForBank(PresenterChannel& channel,
                                                           const std::string& title);
    PagePresenters(const PagePresenters&) = delete;
    PagePresenters& operator=(const PagePresenters&) = delete;
    // Puts back the presenters it replaced. Destroy it before whoever installed those removes
    // them.
    ~PagePresenters();

private:
    std::optional<std::u16string> ChooseFile(const OpenFileRequest& request);

    PresenterChannel& channel_;
    bool boxes_;
    bool files_;
    Waiter whileWaiting_;
    MessageBoxPresenter previousBoxes_;
    OpenFilePresenter previousFiles_;
};

} // namespace show
