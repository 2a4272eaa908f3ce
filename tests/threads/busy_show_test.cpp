// A busy show, with every thread a live host runs: two cameras drawing frames through two
// challenge effects and a free effect, the presenter clicking through all three panels, and
// 100,000 viewers each sending one message into the host's audience source while it all runs.
// Every message must come back exactly once, and none may be left behind.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "askgame/audience.h"
#include "game/audience_tracker.h"
#include "game/challenge_game.h"
#include "game/free_mode.h"
#include "hosting/audience_source.h"
#include "hosting/transcript.h"
#include "platform/font_testing.h"
#include "support/panel_harness.h"
#include "toolkit/UIlib.h"
#include "ui/challenge_mode_ui.h"
#include "ui/free_mode_ui.h"

namespace {

constexpr int kW = 320, kH = 240;
constexpr std::uint32_t kViewers = 100'000;
constexpr std::uint32_t kViewersPerBurst = 250; // the producer lets the others in between bursts
// How long the room gets to take what is still waiting once everyone is done: only a fault leaves
// messages behind, so this bounds the test rather than timing it.
constexpr auto kMostDrainTime = std::chrono::seconds(120);

const HWND kHostWindow = reinterpret_cast<HWND>(0x5150);

// The host's audience source shared by the host's threads: the viewers' thread queues into it
// while the effects take and release on the video threads, so every call holds its lock. It
// counts what passes through; the host source itself reports any message released twice, never
// handed out or never released.
class SharedAudience final : public IAudienceSource {
public:
    SharedAudience() {
        source_.SetHandOutObserver([this](const AudienceMessage&) { ++handedOut_; });
    }

    void Send(std::uint32_t viewer) {
        const std::u16string name = u"viewer" + Digits(viewer);
        const std::lock_guard lock(mutex_);
        switch (viewer % 5) {
        case 0:
        case 1:
            source_.QueueGift(viewer, name, 1, static_cast<std::uint16_t>(viewer % 9 + 1));
            break;
        case 2:
            source_.QueueChat(viewer, name, viewer % 2 ? u"b" : u"B");
            break;
        case 3:
            source_.QueueChat(viewer, name, u"Paris", AudienceKind::FreeText);
            break;
        default:
            source_.QueueChat(viewer, name, u"a", AudienceKind::ChallengeText);
            break;
        }
        ++queued_;
    }
    std::size_t Waiting() {
        const std::lock_guard lock(mutex_);
        return source_.Waiting();
    }
    int TakePendingSignals() {
        const std::lock_guard lock(mutex_);
        return source_.TakePendingSignals();
    }
    // The host's own check once the effects are done: unreleased messages and held lists.
    int HostErrorsAtFinish() {
        const std::lock_guard lock(mutex_);
        source_.Finish();
        return transcript_.HostErrorCount();
    }

    std::uint64_t queued() const { return queued_; }
    std::uint64_t handedOut() const { return handedOut_; }
    std::uint64_t released() const { return released_; }

    // ---- IAudienceSource
    std::shared_ptr<AudienceMessageList> GetPendingMessages() override {
        const std::lock_guard lock(mutex_);
        return source_.GetPendingMessages();
    }
    AudienceMessage* PopMessage() override {
        const std::lock_guard lock(mutex_);
        return source_.PopMessage();
    }
    void ReleaseMessage(AudienceMessage* message) override {
        const std::lock_guard lock(mutex_);
        ++released_;
        source_.ReleaseMessage(message);
    }
    void NotifyStateChanged() override { Forward(&IAudienceSource::NotifyStateChanged); }
    void Start() override { Forward(&IAudienceSource::Start); }
    void Stop() override { Forward(&IAudienceSource::Stop); }
    void Signal(int a, int b) override {
        const std::lock_guard lock(mutex_);
        source_.Signal(a, b);
    }

private:
    static std::u16string Digits(std::uint32_t value) {
        const std::string digits = std::to_string(value);
        return std::u16string(digits.begin(), digits.end());
    }
    void Forward(void (IAudienceSource::*call)()) {
        const std::lock_guard lock(mutex_);
        (source_.*call)();
    }

    std::mutex mutex_;
    hosting::Transcript transcript_;
    hosting::HostAudienceSource source_{transcript_};
    std::atomic<std::uint64_t> queued_{0}, handedOut_{0}, released_{0};
};

// A panel embedded in the host's window and bound to its effect, as a host sets one up.
template <class Panel>
struct EmbeddedPanel {
    explicit EmbeddedPanel(IVideoEffect* effect) {
        manager.Init(kHostWindow);
        manager.AttachDialog(panel.get());
        panel->InitPanel(0, 0, effect, u"", u"", LCID_ENGLISH_US);
        panel->BindControls();
    }
    ~EmbeddedPanel() { manager.AttachDialog(nullptr); }

    void Type(DuiLib::LPCTSTR name, std::u16string_view text) {
        if (DuiLib::CControlUI* control = manager.FindControl(name))
            control->SetText(DuiLib::CDuiString(text));
    }
    void Click(DuiLib::LPCTSTR name) {
        if (DuiLib::CControlUI* control = manager.FindControl(name)) control->Activate();
    }

    DuiLib::CPaintManagerUI manager;
    std::unique_ptr<Panel> panel = std::make_unique<Panel>();
};

class BusyShow : public ::testing::Test {
protected:
    void SetUp() override { DropLibraryAudienceTracker(); }
    void TearDown() override { DropLibraryAudienceTracker(); }

    ScopedTestFontFace standIn{u"宋体"};
    const ScopedEnv acp{"ASKGAME_ACP", "65001"};
    MessageBoxRecorder boxes; // only the presenter's thread shows boxes
};

// One camera: draws every frame through its effects until told to stop.
void RunCamera(std::vector<IVideoEffect*> effects, const std::atomic<bool>& stop,
               std::atomic<long>& frames) {
    std::vector<BYTE> frame(std::size_t{kW} * kH * 4);
    for (long n = 0; !stop; ++n) {
        // Every other frame arrives top-down, as from a camera that hands over its own rows.
        const int height = n % 2 ? -kH : kH;
        for (IVideoEffect* effect : effects)
            effect->ProcessFrame(frame.data(), 0, 4, 0, kW, height, 0);
        ++frames;
    }
}

TEST_F(BusyShow, EveryViewersMessageComesBackExactlyOnce) {
    SharedAudience audience;
    CChallengeGameImpl first, second;
    CFreeModeImpl free;
    EmbeddedPanel<CChallengeModeUI> firstPanel(&first), secondPanel(&second);
    EmbeddedPanel<CFreeModeUI> freePanel(&free);
    for (IVideoEffect* effect :
         {static_cast<IVideoEffect*>(&first), static_cast<IVideoEffect*>(&second),
          static_cast<IVideoEffect*>(&free)}) {
        ASSERT_TRUE(effect->Init(kW, kH, 0));
        effect->SetAudienceSource(&audience); // the room reads the source bound last
    }

    std::atomic<bool> viewersDone{false}, stop{false};
    std::atomic<long> frames{0}, clicks{0};
    std::thread viewers([&] {
        for (std::uint32_t viewer = 1; viewer <= kViewers; ++viewer) {
            audience.Send(viewer);
            if (viewer % kViewersPerBurst == 0) std::this_thread::yield();
        }
        viewersDone = true;
    });
    std::thread camera1(RunCamera, std::vector<IVideoEffect*>{&first, &free}, std::cref(stop),
                        std::ref(frames));
    std::thread camera2(RunCamera, std::vector<IVideoEffect*>{&second}, std::cref(stop),
                        std::ref(frames));
    std::thread presenter([&] {
        for (long n = 0; !viewersDone; ++n) {
            EmbeddedPanel<CChallengeModeUI>& challenge = n % 2 ? firstPanel : secondPanel;
            challenge.Type(challenge_control::kChallengeQue, u"Which letter comes second?");
            challenge.Type(challenge_control::kChallengeAnswer, n % 3 ? u"b" : u"a");
            challenge.Click(challenge_control::kButtonShowChallengQue);
            if (n % 4 == 0) challenge.Click(panel_control::kBtnTextColor);
            if (n % 7 == 0) challenge.Click(challenge_control::kBtnNewRound);
            // Each signal is answered as a host's window does: a GameNotify to the panel.
            for (int s = audience.TakePendingSignals(); s > 0; --s)
                challenge.manager.SendNotify(challenge.panel.get(), kGameNotify);

            freePanel.Type(free_control::kQuestion, u"Capital of France?");
            freePanel.Type(free_control::kRightAnswer, u"Paris");
            freePanel.Click(free_control::kButtonShowQue);
            if (n % 5 == 0) freePanel.Click(panel_control::kBtnTextColor);
            ++clicks;
            std::this_thread::yield();
        }
    });

    viewers.join();
    presenter.join();
    const auto deadline = std::chrono::steady_clock::now() + kMostDrainTime;
    // Back to gathering: the room takes every waiting message, gifts and chat alike.
    firstPanel.Click(challenge_control::kBtnNewRound);
    while (audience.Waiting() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    camera1.join();
    camera2.join();

    EXPECT_GT(frames, 0);
    EXPECT_GT(clicks, 0);
    EXPECT_EQ(audience.queued(), kViewers);
    EXPECT_EQ(audience.Waiting(), 0u) << "messages left with the host";
    EXPECT_EQ(audience.handedOut(), kViewers);
    EXPECT_EQ(audience.released(), kViewers);
    EXPECT_EQ(audience.HostErrorsAtFinish(), 0) << "a message released twice or never";
    // The gifts seated players in the one room both challenge effects show.
    EXPECT_EQ(first.GetPlayerCount(), second.GetPlayerCount());
}

} // namespace
