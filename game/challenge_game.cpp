#include "game/challenge_game.h"

#include <algorithm>
#include <climits>
#include <string>
#include <utility>

#include "askgame/effect_ids.h"
#include "platform/codepage.h"
#include "platform/debug.h"
#include "platform/shell.h"

namespace {

constexpr UINT kTraceCodePage = 936;
constexpr int kMaxFrameSide = 0xFFFF; // the sprites hold frame sizes in 16 bits

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
CChallengeGameImpl::~CChallengeGameImpl() = default;

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

void CChallengeGameImpl::ShowQuestion(bool show) {
    Trace(u"保存的题目：" + storedQuestion_);
    if (!show) Trace(u"隐藏题目");
    question_.SetText(show ? storedQuestion_ : std::u16string());
    question_.SetVisible(true);
    question_.Render();
}

void CChallengeGameImpl::SignalHost() {
    CAudienceTracker* tracker = LibraryAudienceTracker();
    if (tracker && tracker->Source()) tracker->Source()->Signal(1, 1);
}

// ---- IVideoEffect

BOOL CChallengeGameImpl::Init(int frameWidth, int frameHeight, int /*reserved*/) {
    if (frameWidth <= 0 || frameHeight <= 0 || frameWidth > kMaxFrameSide ||
        frameHeight > kMaxFrameSide)
        return FALSE;
    std::lock_guard lock(mutex_);
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

    ShowQuestion(false);
    LayoutPlayers();
    if (CAudienceTracker* tracker = LibraryAudienceTracker()) {
        tracker->SetQuestionOpen(false);
        tracker->RefreshState();
    }
    band_.Render();
    answerScan_ = false;
    rightAnswerer_.clear();
    SignalHost();
    return TRUE;
}

BOOL CChallengeGameImpl::ProcessFrame(BYTE* pixels, int /*reserved1*/, int bytesPerPixel,
                                      int /*reserved2*/, int frameWidth, int frameHeight,
                                      int /*reserved3*/) {
    if (bytesPerPixel != 4) return FALSE;
    std::lock_guard lock(mutex_);
    CAudienceTracker* tracker = LibraryAudienceTracker();
    CAudienceTracker::Standings players;
    if (tracker) tracker->Poll(&players);

    if (answerScan_) {
        AudienceMessage* right =
            tracker ? tracker->FindRightAnswer(correctAnswer_.c_str()) : nullptr;
        if (right) {
            rightAnswerer_ =
                DisplayName(SenderNameOf(*right)) + u"(" + DecimalText(right->senderId) + u")";
            OnRightAnswer(*right, players);
            SignalHost();
            tracker->Source()->ReleaseMessage(right);
        }
    } else {
        RefreshPlayerLabels(players);
    }
    DrawOnFrame(HostFrameView(pixels, frameWidth, frameHeight));
    return TRUE;
}

void CChallengeGameImpl::SetAudienceSource(IAudienceSource* source) {
    std::lock_guard lock(mutex_);
    ReplaceLibraryAudienceTracker(source)->SetQuestionOpen(false);
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
                                       const CAudienceTracker::Standings& players) {
    // The counts as they stand after the answer was scored, so the bar grows on this frame.
    const auto& counts = LibraryAudienceTracker()->Counts();
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

void CChallengeGameImpl::SubmitQuestion(LPCWSTR text) {
    std::u16string refusal, caption;
    {
        std::lock_guard lock(mutex_);
        questionCount_ = std::min(questionCount_ + 1, kQuestionsPerRound + 1);
        questionRefused_ = questionCount_ > kQuestionsPerRound;
        if (!questionRefused_) {
            storedQuestion_ = TextOrEmpty(text);
            Trace(u"题目：" + storedQuestion_);
            ShowQuestion(true);
            if (CAudienceTracker* tracker = LibraryAudienceTracker())
                tracker->SetQuestionOpen(true);
            return;
        }
        refusal = language_.GetString(u"RoundExceed");
        caption = language_.GetString(u"tipTitle");
    }
    // Shown outside the lock: frames keep coming while the presenter reads the box.
    MessageBoxW(nullptr, refusal.c_str(), caption.c_str(), MB_OK);
}

void CChallengeGameImpl::SetCorrectAnswer(LPCWSTR answer) {
    std::lock_guard lock(mutex_);
    correctAnswer_ = TextOrEmpty(answer);
}

void CChallengeGameImpl::StartAnswerScan() {
    std::lock_guard lock(mutex_);
    // Nobody can be asked to answer a question that is not shown.
    if (questionRefused_) return;
    if (CAudienceTracker* tracker = LibraryAudienceTracker()) tracker->SetQuestionOpen(true);
    answerScan_ = true;
}

int CChallengeGameImpl::GetPlayerCount() {
    std::lock_guard lock(mutex_);
    const CAudienceTracker* tracker = LibraryAudienceTracker();
    return tracker ? static_cast<int>(std::min<std::size_t>(tracker->PlayerCount(), INT_MAX)) : 0;
}

void CChallengeGameImpl::NewRound() {
    std::lock_guard lock(mutex_);
    questionCount_ = 0;
    questionRefused_ = false;
    ShowQuestion(false);
    LayoutPlayers();
    if (CAudienceTracker* tracker = LibraryAudienceTracker()) {
        tracker->SetQuestionOpen(false);
        tracker->RefreshState();
    }
    answerScan_ = false;
}

std::u16string CChallengeGameImpl::GetRightAnswererText() {
    std::lock_guard lock(mutex_);
    return rightAnswerer_;
}

void CChallengeGameImpl::SetQuestionColour(std::uint32_t colour) {
    std::lock_guard lock(mutex_);
    question_.SetTextColor(colour);
    question_.Render();
}

void CChallengeGameImpl::ClearAnswered() {
    std::lock_guard lock(mutex_);
    if (CAudienceTracker* tracker = LibraryAudienceTracker()) tracker->ClearAnswered();
}
