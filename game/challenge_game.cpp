#include "game/challenge_game.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <utility>

#include "askgame/effect_ids.h"
#include "game/library_room.h"
#include "platform/codepage.h"
#include "platform/debug.h"
#include "platform/shell.h"
#include "plugin/effect_call_scope.h"
#include "plugin/no_throw.h"
#include "render/text_draft.h"

namespace {

constexpr UINT kTraceCodePage = 936;
constexpr int kMaxFrameSide = 0xFFFF; // the sprites hold frame sizes in 16 bits
// Renders of a new question made to one side before one is made under the lock: each is thrown
// away when the layout or colour changed while it was made.
constexpr int kRenderAttempts = 3;

// Column titles of the three player columns while no player holds them.
constexpr const char16_t* kColumnTitleIds[kRankedPlayers] = {u"FirstGroup", u"SecondGroup",
                                                             u"ThirdGroup"};

std::u16string TextOrEmpty(LPCWSTR text) {
    return text ? std::u16string(text) : std::u16string();
}

// Writes a diagnostic trace twice, as the debugger shows both: in code page 936 and in UTF-16.
void Trace(const std::u16string& text) {
    const int bytes =
        WideCharToMultiByte(kTraceCodePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes > 0) {
        std::string ansi(static_cast<std::size_t>(bytes), '\0');
        if (WideCharToMultiByte(kTraceCodePage, 0, text.c_str(), -1, ansi.data(), bytes, nullptr,
                                nullptr) > 0)
            OutputDebugStringA(ansi.c_str());
    }
    OutputDebugStringW(text.c_str());
}

std::u16string DecimalText(std::uint32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

std::uint32_t WidenedColour(std::int16_t colour) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(colour));
}

} // namespace

CChallengeGameImpl::CChallengeGameImpl() = default;
// The room forgets the source this effect bound: nothing is left pointing at what the host owns.
CChallengeGameImpl::~CChallengeGameImpl() {
    try {
        LibraryRoom::Instance().Unbind(this);
    } catch (...) {
        // Nothing leaves a destructor the host called.
    }
}

const GUID* CChallengeGameImpl::GetEffectId() {
    return &CLSID_ChallengeGame;
}

// ---- Layout

int CChallengeGameImpl::PlayerColumnX(int column) const {
    const long long w = frameWidth_;
    long long x = 0;
    switch (column) {
    case 0:
        x = (w - 240) / 4;
        break;
    case 1:
        x = (w - 80) / 2;
        break;
    default:
        x = (3 * w - 720) / 4 + 160;
        break;
    }
    return static_cast<int>(x);
}

void CChallengeGameImpl::UpdatePlayerLabel(CSpriteChallengeTextShow& label, std::u16string text,
                                           int x) {
    label.SetText(std::move(text));
    label.SetFrameSize(static_cast<std::uint16_t>(frameWidth_),
                       static_cast<std::uint16_t>(frameHeight_));
    label.SetFontHeight(labelFontSize_);
    label.SetTextColor(WidenedColour(textColour_));
    label.SetVerticalPercent(kLabelPercent);
    label.SetVisible(true);
    label.Render(); // centres it
    label.x = x;
}

void CChallengeGameImpl::UpdateScoreMark(CSpriteAccMark& mark, std::uint32_t count, int x) {
    mark.SetText(DecimalText(count));
    mark.SetFrameSize(static_cast<std::uint16_t>(frameWidth_),
                      static_cast<std::uint16_t>(frameHeight_));
    mark.x = x;
    mark.SetFontHeight(markFontSize_);
    // The sprite draws no more of the fill than the bar holds.
    mark.filledLength = static_cast<int>(
        std::min<long long>(static_cast<long long>(count) * kMarkPixelsPerAnswer, INT_MAX));
    mark.Render();
}

void CChallengeGameImpl::LayoutPlayers() {
    for (std::size_t i = 0; i < kRankedPlayers; ++i)
        UpdatePlayerLabel(labels_[i], language_.GetString(kColumnTitleIds[i]),
                          PlayerColumnX(static_cast<int>(i)));
    for (std::size_t i = 0; i < kRankedPlayers; ++i)
        UpdateScoreMark(marks_[i], 0, PlayerColumnX(static_cast<int>(i)));
}

void CChallengeGameImpl::HideQuestion() {
    Trace(u"保存的题目：" + storedQuestion_);
    Trace(u"隐藏题目");
    question_.SetText(std::u16string());
    question_.SetVisible(true);
    question_.Render();
}

void CChallengeGameImpl::SignalHost(CAudienceTracker* tracker) {
    // Recorded by the room and made once its lock and the effect's are let go.
    if (tracker && tracker->Source()) tracker->Source()->Signal(1, 1);
}

template <typename Work>
auto CChallengeGameImpl::WithRoom(Work work) {
    const EffectCallScope running(this); // outlives the calls played to the host below
    LibraryRoom& room = LibraryRoom::Instance();
    HostCalls calls = room.Lease(); // destroyed last: plays the calls after both locks are gone
    const std::lock_guard lock(mutex_);
    LibraryRoom::Access access = room.Lock();
    struct Collect {
        LibraryRoom::Access& access;
        HostCalls& calls;
        ~Collect() { access.CollectInto(calls); }
    } collect{access, calls};
    return work(access.tracker());
}

// ---- IVideoEffect

BOOL CChallengeGameImpl::Init(int frameWidth, int frameHeight, int /*reserved*/) {
    if (frameWidth <= 0 || frameHeight <= 0 || frameWidth > kMaxFrameSide ||
        frameHeight > kMaxFrameSide)
        return FALSE;
    return NoThrow(FALSE, [&] {
        return WithRoom(
            [&](CAudienceTracker* tracker) { return Relayout(frameWidth, frameHeight, tracker); });
    });
}

BOOL CChallengeGameImpl::Relayout(int frameWidth, int frameHeight, CAudienceTracker* tracker) {
    frameWidth_ = static_cast<std::uint32_t>(frameWidth);
    frameHeight_ = static_cast<std::uint32_t>(frameHeight);
    LayoutPlayers();

    questionCount_ = 0;
    questionRefused_ = false;
    const auto w = static_cast<std::uint16_t>(frameWidth),
               h = static_cast<std::uint16_t>(frameHeight);
    question_.SetFrameSize(w, h);
    for (std::size_t i = 0; i < kRankedPlayers; ++i) {
        marks_[i].SetFrameSize(w, h);
        labels_[i].SetFrameSize(w, h);
    }
    band_.SetFrameSize(w, h);
    question_.SetFontHeight(questionFontSize_);
    question_.SetTextColor(WidenedColour(textColour_));
    question_.SetVerticalPercent(kQuestionPercent);

    HideQuestion();
    LayoutPlayers();
    if (tracker) {
        tracker->SetQuestionOpen(false);
        tracker->RefreshState();
    }
    band_.Render();
    answerScan_ = false;
    rightAnswerer_.clear();
    SignalHost(tracker);
    return TRUE;
}

BOOL CChallengeGameImpl::ProcessFrame(BYTE* pixels, int /*reserved1*/, int bytesPerPixel,
                                      int /*reserved2*/, int frameWidth, int frameHeight,
                                      int /*reserved3*/) {
    if (bytesPerPixel != 4) return FALSE;
    return NoThrow(FALSE, [&] {
        const EffectCallScope running(this);
        LibraryRoom& room = LibraryRoom::Instance();
        HostCalls calls = room.Lease(); // played after both locks are let go
        // The waiting messages are fetched with no lock held, when the round will read them.
        bool wanted = false;
        {
            const std::lock_guard lock(mutex_);
            const LibraryRoom::Access access = room.Lock();
            if (const CAudienceTracker* tracker = access.tracker())
                wanted = !tracker->IsQuestionOpen() || answerScan_;
        }
        std::shared_ptr<AudienceMessageList> pending;
        if (wanted && calls.Source()) pending = calls.Source()->GetPendingMessages();

        const std::lock_guard lock(mutex_);
        {
            LibraryRoom::Access access = room.Lock();
            access.OfferPending(std::move(pending));
            TakeRoomMessages(access.tracker());
            access.CollectInto(calls);
        }
        DrawOnFrame(HostFrameView(pixels, frameWidth, frameHeight));
        return TRUE;
    });
}

void CChallengeGameImpl::TakeRoomMessages(CAudienceTracker* tracker) {
    CAudienceTracker::Standings players;
    if (tracker) tracker->Poll(&players);
    if (!answerScan_) {
        RefreshPlayerLabels(players);
        return;
    }
    AudienceMessage* right = tracker ? tracker->FindRightAnswer(correctAnswer_.c_str()) : nullptr;
    if (!right) return;
    rightAnswerer_ = DisplayName(SenderNameOf(*right)) + u"(" + DecimalText(right->senderId) + u")";
    OnRightAnswer(*right, players, *tracker);
    SignalHost(tracker);
    tracker->Source()->ReleaseMessage(right);
}

bool CChallengeGameImpl::CanBeDestroyedHere() const {
    return CBaseVideoEffect::CanBeDestroyedHere() &&
           !LibraryRoom::Instance().UnbindWouldWaitHere(this);
}

void CChallengeGameImpl::SetAudienceSource(IAudienceSource* source) {
    NoThrow(0, [&] {
        const EffectCallScope running(this);
        // Binding waits for calls on the previous source to finish; no lock of the effect is held.
        HostCalls calls = LibraryRoom::Instance().Bind(this, source);
        return 0;
    });
}

// ---- Per frame

void CChallengeGameImpl::RefreshPlayerLabels(const CAudienceTracker::Standings& players) {
    for (std::size_t i = 0; i < players.topCount; ++i) {
        const std::u16string_view name = players.top[i]->senderName;
        if (!ShowsDisplayName(labels_[i].text, name))
            UpdatePlayerLabel(labels_[i], DisplayName(name), PlayerColumnX(static_cast<int>(i)));
    }
}

void CChallengeGameImpl::OnRightAnswer(const AudienceMessage& message,
                                       const CAudienceTracker::Standings& players,
                                       const CAudienceTracker& tracker) {
    // The counts as they stand after the answer was scored, so the bar grows on this frame.
    const auto& counts = tracker.Counts();
    for (std::size_t i = 0; i < players.topCount; ++i) {
        if (players.top[i]->senderId != message.senderId) continue;
        UpdateScoreMark(marks_[i], counts[i], PlayerColumnX(static_cast<int>(i)));
        return;
    }
}

void CChallengeGameImpl::DrawOnFrame(const FrameView& frame) {
    if (!frame || frameWidth_ == 0) return;
    band_.DrawOnFrame(frame);
    question_.DrawOnFrame(frame);
    for (std::size_t i = 0; i < kRankedPlayers; ++i) {
        marks_[i].DrawOnFrame(frame);
        labels_[i].DrawOnFrame(frame);
    }
}

// ---- The panel's operations

void CChallengeGameImpl::SetLanguageFile(LPCWSTR path) {
    std::lock_guard lock(mutex_);
    language_.Load(TextOrEmpty(path));
}

bool CChallengeGameImpl::SubmitQuestion(LPCWSTR text) {
    const std::u16string question = TextOrEmpty(text);
    std::u16string refusal, caption;
    // Declared first, so the picture it takes from the live sprite is freed after the locks.
    TextDraft<CSpriteChallengeTextShow> draft;
    std::optional<bool> accepted;
    for (int attempt = 1; !accepted; ++attempt) {
        {
            const std::lock_guard lock(mutex_);
            // A question the round refuses needs no picture.
            if (questionCount_ < kQuestionsPerRound) draft.Capture(question_);
        }
        draft.RenderWith(question,
                         [this](CSpriteTextShowBase& sprite) { return RenderAside(sprite); });
        const bool lastAttempt = attempt >= kRenderAttempts;
        accepted = WithRoom([&](CAudienceTracker* tracker) -> std::optional<bool> {
            if (questionCount_ >= kQuestionsPerRound) {
                questionCount_ = kQuestionsPerRound + 1;
                questionRefused_ = true;
                refusal = language_.GetString(u"RoundExceed");
                caption = language_.GetString(u"tipTitle");
                return false;
            }
            // The frames drawn meanwhile showed the previous question, whole; now it changes.
            if (!draft.InstallInto(question_)) {
                if (!lastAttempt) return std::nullopt; // relaid out meanwhile: render again
                question_.SetText(question);
                question_.Render();
            }
            ++questionCount_;
            questionRefused_ = false;
            storedQuestion_ = question;
            Trace(u"题目：" + storedQuestion_);
            Trace(u"保存的题目：" + storedQuestion_);
            question_.SetVisible(true);
            if (tracker) tracker->SetQuestionOpen(true);
            return true;
        });
    }
    // Shown outside the lock: frames keep coming while the presenter reads the box.
    if (!*accepted) MessageBoxW(nullptr, refusal.c_str(), caption.c_str(), MB_OK);
    return *accepted;
}

void CChallengeGameImpl::SetCorrectAnswer(LPCWSTR answer) {
    std::lock_guard lock(mutex_);
    correctAnswer_ = TextOrEmpty(answer);
}

void CChallengeGameImpl::StartAnswerScan() {
    WithRoom([&](CAudienceTracker* tracker) {
        // Nobody can be asked to answer a question that is not shown.
        if (questionRefused_) return;
        if (tracker) tracker->SetQuestionOpen(true);
        answerScan_ = true;
    });
}

int CChallengeGameImpl::GetPlayerCount() {
    return WithRoom([&](const CAudienceTracker* tracker) {
        return tracker ? static_cast<int>(std::min<std::size_t>(tracker->PlayerCount(), INT_MAX))
                       : 0;
    });
}

void CChallengeGameImpl::NewRound() {
    WithRoom([&](CAudienceTracker* tracker) {
        questionCount_ = 0;
        questionRefused_ = false;
        HideQuestion();
        LayoutPlayers();
        if (tracker) {
            tracker->SetQuestionOpen(false);
            tracker->RefreshState();
        }
        answerScan_ = false;
    });
}

std::u16string CChallengeGameImpl::GetRightAnswererText() {
    std::lock_guard lock(mutex_);
    return rightAnswerer_;
}

void CChallengeGameImpl::SetQuestionColour(std::uint32_t colour) {
    TextDraft<CSpriteChallengeTextShow> draft; // freed after the lock, with the old picture
    for (int attempt = 1;; ++attempt) {
        std::u16string shown;
        {
            const std::lock_guard lock(mutex_);
            draft.Capture(question_);
            shown = question_.text;
        }
        draft.RenderWith(shown, [this, colour](CSpriteTextShowBase& sprite) {
            sprite.SetTextColor(colour);
            return RenderAside(sprite);
        });
        const std::lock_guard lock(mutex_);
        question_.SetTextColor(colour);
        // Another question or layout arrived meanwhile: that one is recoloured instead.
        if (question_.text == shown && draft.InstallInto(question_)) return;
        if (attempt >= kRenderAttempts) {
            question_.Render();
            return;
        }
    }
}

void CChallengeGameImpl::ClearAnswered() {
    WithRoom([&](CAudienceTracker* tracker) {
        if (tracker) tracker->ClearAnswered();
    });
}
