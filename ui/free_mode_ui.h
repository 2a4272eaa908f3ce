// CFreeModeUI: the presenter's panel of the free-mode game. The presenter loads a question bank,
// steps through it, sends the shown question and answer to the game, chooses whether viewers see
// the question and steps the game's text colour.
#pragma once

#include <string_view>

#include "ui/panel_base.h"

class CFreeModeImpl;

// The free panel's skin, beside the library.
inline constexpr std::u16string_view kFreeModeSkinFile = u"Skin\\freeAnwser.xml";

namespace free_control {
inline constexpr DuiLib::LPCTSTR kQuestion = u"Question";
inline constexpr DuiLib::LPCTSTR kRightAnswer = u"RightAnswer";
inline constexpr DuiLib::LPCTSTR kButtonShowQue = u"ButtonShowQue";
inline constexpr DuiLib::LPCTSTR kOptShowQuestion = u"OptShowQuestion";
} // namespace free_control

class CFreeModeUI : public CPanelBase {
public:
    CFreeModeUI();

    // Loads the language files of panel and game; `effect` is taken only when it is the free-mode
    // game. Returns 1.
    int InitPanel(int reserved1, int reserved2, IVideoEffect* effect, LPCWSTR text1, LPCWSTR text2,
                  DWORD lcid) override;
    // Wires the handlers to the skin's controls, then loads the sample bank. Returns 1.
    int BindControls() override;

protected:
    // A panel built from another skin beside the library.
    explicit CFreeModeUI(std::u16string_view skinFile);

    // "ButtonShowQue": sends the texts of "Question" and "RightAnswer", as they stand, to the game.
    bool OnShowQuestionClick(void* notification);
    // "BtnTextColor": the next colour of kTextColorCycle for the game's lines; false without a
    // game.
    bool OnTextColorClick(void* notification);
    // "OptShowQuestion": viewers see the question text while the option is selected.
    bool OnShowQuestionOption(void* notification);

    // Stepping to another question, or choosing another bank, hides the game's question until
    // the presenter sends the new one.
    void OnEntryStepped() override;
    void OnBankFileChosen() override;

private:
    void HideGameQuestion();

    CFreeModeImpl* effect_ = nullptr;
    int colorIndex_ = 0;
};
