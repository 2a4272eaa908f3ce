#include "ui/free_mode_ui.h"

#include <array>

#if __has_include("game/free_mode.h")
#include "game/free_mode.h"
#define ASKGAME_FREE_GAME 1
#endif

namespace {

// The game's operations the panel calls. Until the free-mode game is part of the build no effect
// is ever bound, and these are never reached.
#ifdef ASKGAME_FREE_GAME
CFreeModeImpl* AsFreeGame(IVideoEffect* effect) {
    return AsFreeGame(effect);
}
#define FREE_GAME_CALL(game, call) (game)->call
#else
CFreeModeImpl* AsFreeGame(IVideoEffect* /*effect*/) {
    return nullptr;
}
#define FREE_GAME_CALL(game, call) static_cast<void>(game)
#endif

constexpr BankLayout kFreeBankLayout{free_control::kQuestion, free_control::kRightAnswer,
                                     QuestionCleaning::TrimSpacesThenCollapse};

} // namespace

CFreeModeUI::CFreeModeUI() : CFreeModeUI(kFreeModeSkinFile) {}

CFreeModeUI::CFreeModeUI(std::u16string_view skinFile) : CPanelBase(skinFile, kFreeBankLayout) {}

int CFreeModeUI::InitPanel(int /*reserved1*/, int /*reserved2*/, IVideoEffect* effect,
                           LPCWSTR /*text1*/, LPCWSTR /*text2*/, DWORD lcid) {
    const std::u16string languageFile = LoadLanguage(lcid);
    effect_ = AsFreeGame(effect);
    if (effect_) FREE_GAME_CALL(effect_, SetLanguageFile(languageFile.c_str()));
    return 1;
}

int CFreeModeUI::BindControls() {
    using Binding = HandlerBinding<CFreeModeUI>;
    static constexpr std::array<Binding, 7> kHandlers{{
        {free_control::kButtonShowQue, &CFreeModeUI::OnShowQuestionClick},
        {panel_control::kBtnQuestions, &CFreeModeUI::ChooseQuestionBankFile},
        {panel_control::kBtnGo, &CFreeModeUI::OnGoClick},
        {panel_control::kBtnNextQue, &CFreeModeUI::OnNextClick},
        {panel_control::kBtnBackQue, &CFreeModeUI::OnBackClick},
        {panel_control::kBtnTextColor, &CFreeModeUI::OnTextColorClick},
        {free_control::kOptShowQuestion, &CFreeModeUI::OnShowQuestionOption},
    }};
    BindHandlers<CFreeModeUI>(this, kHandlers);
    LoadSampleQuestionBank();
    return 1;
}

bool CFreeModeUI::OnShowQuestionClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return true;
    if (!effect_) return true;
    const std::u16string question = ControlText(free_control::kQuestion);
    const std::u16string answer = ControlText(free_control::kRightAnswer);
    FREE_GAME_CALL(effect_, PresentQuestion(question.c_str()));
    FREE_GAME_CALL(effect_, SetRightAnswer(answer.c_str()));
    return true;
}

bool CFreeModeUI::OnTextColorClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return true;
    if (!effect_) return false;
    FREE_GAME_CALL(effect_, SetOverlayTextColor(kTextColorCycle[colorIndex_]));
    colorIndex_ = (colorIndex_ + 1) % kTextColorCount;
    return true;
}

bool CFreeModeUI::OnShowQuestionOption(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_SELECTCHANGED)) return true;
    auto* option =
        dynamic_cast<DuiLib::COptionUI*>(FindControlByName(free_control::kOptShowQuestion));
    if (!option) return false;
    const bool selected = option->IsSelected();
    if (effect_) FREE_GAME_CALL(effect_, SetShowQuestionText(selected));
    return selected;
}

void CFreeModeUI::OnEntryStepped() {
    HideGameQuestion();
}

void CFreeModeUI::OnBankFileChosen() {
    HideGameQuestion();
}

void CFreeModeUI::HideGameQuestion() {
    if (effect_) FREE_GAME_CALL(effect_, SetQuestionVisible(false));
}
