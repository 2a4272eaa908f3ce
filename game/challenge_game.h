// The challenge game: viewers become players by sending gifts, the three best-ranked are drawn as
// columns near the picture's lower edge with a name and a score bar each, and the first of them
// to give the correct answer to the question shown at the top scores a point. A round holds at
// most 20 questions.
//
// The host calls the IVideoEffect slots (frames may come on their own thread); the panel calls
// the operations below directly. One mutex serialises both; the library's audience room (shared
// by every challenge effect) has its own lock, taken after it. The effect calls into the host
// only once it holds neither, so a host may call back into the effect or its panel from any
// thread while it handles the call. No exception leaves a slot the host calls.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "game/audience_tracker.h"
#include "game/challenge_sprites.h"
#include "plugin/base_video_effect.h"
#include "ui/language_table.h"

class CChallengeGameImpl : public CBaseVideoEffect {
public:
    static constexpr int kQuestionsPerRound = 20;
    static constexpr int kQuestionFontHeight = 28;
    static constexpr int kLabelFontHeight = 21;
    static constexpr int kMarkFontHeight = 16;
    static constexpr std::int16_t kDefaultTextColour = -1; // widens to 0xFFFFFFFF, white
    static constexpr int kQuestionPercent = 0;             // top of the picture
    static constexpr int kLabelPercent = 94;
    static constexpr int kMarkPixelsPerAnswer = 4; // a full 80-pixel bar at 20 answers

    CChallengeGameImpl();
    ~CChallengeGameImpl() override;

    // ---- IVideoEffect
    const GUID* GetEffectId() override;
    // Lays the game out for frames of width × height (1 to 65535 each) and opens a new round.
    // 0 with nothing changed for any other size.
    BOOL Init(int frameWidth, int frameHeight, int reserved) override;
    // Takes the room's messages, updates the game and draws it, laid out for Init's size, clipped
    // to the frame handed over: width × |height| pixels, rows bottom-up for a positive height and
    // top-down for a negative one. 0 and nothing touched when bytesPerPixel is not 4.
    BOOL ProcessFrame(BYTE* pixels, int reserved1, int bytesPerPixel, int reserved2, int frameWidth,
                      int frameHeight, int reserved3) override;
    // Replaces the library's audience room with a new one around `source` (null allowed); every
    // challenge effect then plays in that room. Destroying this effect forgets the source.
    // Called from inside one of a challenge effect's calls into the host (on the same thread),
    // it changes nothing and says so in a trace: binding waits for those calls to end.
    void SetAudienceSource(IAudienceSource* source) override;
    // Also false where this effect bound the room and this thread is inside a challenge
    // effect's call into the host: forgetting the source waits for that call to end.
    bool CanBeDestroyedHere() const override;

    // ---- The panel's operations; null text reads as empty.
    void SetLanguageFile(LPCWSTR path);
    // Shows the question and opens answering, unless the round already holds 20 questions: then
    // the "RoundExceed" box comes up, the question is neither shown nor opened and the answer is
    // false (the panel then leaves the shown question's answer as it is). The question is
    // rendered before the effect's lock is taken: frames drawn meanwhile show the previous one.
    bool SubmitQuestion(LPCWSTR text);
    void SetCorrectAnswer(LPCWSTR answer);
    // Opens answering on the question shown; does nothing after a refused SubmitQuestion.
    void StartAnswerScan();
    int GetPlayerCount(); // 0 without a tracker
    // Back to gathering: no question, column titles, zero marks, no players once the room has
    // been polled; 20 more questions.
    void NewRound();
    // "name(id)" of the last right answer, the name cut like the labels; empty until then.
    std::u16string GetRightAnswererText();
    // Re-renders the shown question in `colour`, like a new question, before taking the lock.
    void SetQuestionColour(std::uint32_t colour);
    // Forgets who has answered the current question.
    void ClearAnswered();

private:
    // Runs work(tracker) under the effect's lock and then the room's (tracker null without a
    // room) and makes the host calls it recorded once both are let go.
    template <typename Work>
    auto WithRoom(Work work);

    // Internal steps; the effect's lock is held by the caller, and the room's where a tracker is
    // passed.
    BOOL Relayout(int frameWidth, int frameHeight, CAudienceTracker* tracker);
    void TakeRoomMessages(CAudienceTracker* tracker);
    void HideQuestion();
    void LayoutPlayers();
    int PlayerColumnX(int column) const;
    void UpdatePlayerLabel(CSpriteChallengeTextShow& label, std::u16string text, int x);
    void UpdateScoreMark(CSpriteAccMark& mark, std::uint32_t count, int x);
    void RefreshPlayerLabels(const CAudienceTracker::Standings& players);
    void OnRightAnswer(const AudienceMessage& message, const CAudienceTracker::Standings& players,
                       const CAudienceTracker& tracker);
    void SignalHost(CAudienceTracker* tracker);
    void DrawOnFrame(const FrameView& frame);

    std::mutex mutex_;
    CSpriteChallengeTextShow question_;
    CSpriteAccMark marks_[kRankedPlayers];
    CSpriteChallengeTextShow labels_[kRankedPlayers];
    CSpriteBottomBK band_;
    std::u16string storedQuestion_;
    std::u16string correctAnswer_;
    std::int16_t questionFontSize_ = kQuestionFontHeight;
    std::int16_t labelFontSize_ = kLabelFontHeight;
    std::int16_t textColour_ = kDefaultTextColour;
    std::int16_t markFontSize_ = kMarkFontHeight;
    std::u16string rightAnswerer_;
    CLanguageTable language_;
    std::uint32_t frameWidth_ = 0;
    std::uint32_t frameHeight_ = 0;
    bool answerScan_ = false;
    bool questionRefused_ = false; // the last SubmitQuestion hit the round limit
    int questionCount_ = 0;
};
