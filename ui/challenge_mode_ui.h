// CChallengeModeUI: the presenter's panel of the challenge game. The presenter loads a question
// bank, steps through it, pushes the shown question and answer to the three players, steps the
// question colour, starts new rounds and sees who answered right.
#pragma once

#include <string_view>

#include "ui/panel_base.h"

class CChallengeGameImpl;

// The challenge panel's skin, beside the library.
inline constexpr std::u16string_view kChallengeModeSkinFile = u"Skin\\challengeMode.xml";

// The notification the host sends the panel itself when a player has answered right.
inline constexpr DuiLib::LPCTSTR kGameNotify = u"GameNotify";

namespace challenge_control {
inline constexpr DuiLib::LPCTSTR kChallengeQue = u"ChallengeQue";
inline constexpr DuiLib::LPCTSTR kChallengeAnswer = u"ChallengeAnswer";
inline constexpr DuiLib::LPCTSTR kRightAnswerer = u"RightAnswerer";
inline constexpr DuiLib::LPCTSTR kButtonShowChallengQue = u"ButtonShowChallengQue";
inline constexpr DuiLib::LPCTSTR kBtnNewRound = u"BtnNewRound";
} // namespace challenge_control

// The question colour the first "BtnTextColor" press gives, as an index of kTextColorCycle.
inline constexpr int kChallengeFirstColorIndex = 1;

class CChallengeModeUI : public CPanelBase {
public:
    CChallengeModeUI();

    // Loads the language files of panel and game (`effect` is taken only when it is the
    // challenge game), then the sample bank. Returns 1.
    int InitPanel(int reserved1, int reserved2, IVideoEffect* effect, LPCWSTR text1, LPCWSTR text2,
                  DWORD lcid) override;
    // Wires the handlers to the skin's controls and to the panel's own notifications. Returns 1.
    int BindControls() override;

protected:
    // A panel built from another skin beside the library.
    explicit CChallengeModeUI(std::u16string_view skinFile);

    // "ButtonShowChallengQue": pushes the texts of "ChallengeQue" and "ChallengeAnswer" to the game
    // and opens answering; the "NeedPlayer" message while nobody plays.
    bool OnPushQuestionClick(void* notification);
    // "BtnTextColor": the next question colour.
    bool OnTextColorClick(void* notification);
    // "BtnNewRound": a new round of questions.
    bool OnNewRoundClick(void* notification);
    // "GameNotify" on the panel: shows the game's right answerer.
    bool OnGameNotify(void* notification);

    // Each load starts with no right answerer shown.
    void OnBankEmptied() override;
    // Stepping to another question forgets who answered the last one.
    void OnEntryStepped() override;

private:
    void ForgetRightAnswerer();

    CChallengeGameImpl* effect_ = nullptr;
    int colorIndex_ = kChallengeFirstColorIndex;
};
