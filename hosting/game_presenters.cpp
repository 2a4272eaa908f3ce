#include "hosting/game_presenters.h"

#include <mutex>

#include "platform/debug.h"

namespace hosting {

namespace {

thread_local GamePresenter* actingGame = nullptr;

class RoutingTraceSink final : public IDebugOutputSink {
public:
    IDebugOutputSink* earlier = nullptr;

    void WriteAnsi(std::string_view bytes) override {
        if (actingGame) {
            actingGame->PresentTrace(bytes);
        } else if (earlier) {
            earlier->WriteAnsi(bytes);
        }
    }
    void WriteWide(std::u16string_view text) override {
        if (actingGame) {
            actingGame->PresentTrace(text);
        } else if (earlier) {
            earlier->WriteWide(text);
        }
    }
};

struct Installation {
    std::mutex lock;
    int games = 0;
    RoutingTraceSink traces;
    MessageBoxPresenter earlierBoxes;
    OpenFilePresenter earlierFiles;
};

// Never destroyed: a game torn down during the process's exit still finds it.
Installation& Shared() {
    static auto* installation = new Installation;
    return *installation;
}

} // namespace

void JoinPresenters() {
    Installation& shared = Shared();
    std::lock_guard lock(shared.lock);
    if (shared.games++ > 0) return;
    shared.traces.earlier = SetDebugOutputSink(&shared.traces);
    shared.earlierBoxes = SetMessageBoxPresenter([&shared](const MessageBoxRequest& box) {
        if (actingGame) return actingGame->PresentMessageBox(box);
        return shared.earlierBoxes ? shared.earlierBoxes(box) : IDOK;
    });
    shared.earlierFiles = SetOpenFilePresenter(
        [&shared](const OpenFileRequest& dialog) -> std::optional<std::u16string> {
            if (actingGame) return actingGame->PresentOpenFile(dialog);
            if (shared.earlierFiles) return shared.earlierFiles(dialog);
            return std::nullopt;
        });
}

void LeavePresenters() {
    Installation& shared = Shared();
    std::lock_guard lock(shared.lock);
    if (shared.games == 0 || --shared.games > 0) return;
    SetOpenFilePresenter(std::move(shared.earlierFiles));
    SetMessageBoxPresenter(std::move(shared.earlierBoxes));
    SetDebugOutputSink(shared.traces.earlier);
    shared.earlierFiles = nullptr;
    shared.earlierBoxes = nullptr;
    shared.traces.earlier = nullptr;
}

ActingGame::ActingGame(GamePresenter* game) : outer_(actingGame) {
    actingGame = game;
}

ActingGame::~ActingGame() {
    actingGame = outer_;
}

} // namespace hosting
