// Message boxes, the file dialog and debugger traces reach the host through process-wide
// presenters, yet several games may live in one process (a preview and a render inside one video
// tool), each driven from its own thread. The presenters are installed once while any game
// lives; each request goes to the game whose call is running on the requesting thread, and
// requests made outside every game's calls go to the presenters found at installation.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/shell.h"

namespace hosting {

// What one game answers; implemented by HostedGame.
class GamePresenter {
public:
    virtual int PresentMessageBox(const MessageBoxRequest& box) = 0;
    virtual std::optional<std::u16string> PresentOpenFile(const OpenFileRequest& dialog) = 0;
    virtual void PresentTrace(std::string_view ansi) = 0;
    virtual void PresentTrace(std::u16string_view wide) = 0;

protected:
    ~GamePresenter() = default;
};

// Installs the shared presenters when the first game joins and restores the earlier ones when
// the last leaves, whatever the order in which games come and go.
void JoinPresenters();
void LeavePresenters();

// While alive, requests from this thread go to `game`; nests, restoring the outer game.
class ActingGame {
public:
    explicit ActingGame(GamePresenter* game);
    ActingGame(const ActingGame&) = delete;
    ActingGame& operator=(const ActingGame&) = delete;
    ~ActingGame();

private:
    GamePresenter* outer_;
};

} // namespace hosting
