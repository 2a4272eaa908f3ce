#include "ui/free_mode_ui.h"

#include <array>

#include "game/free_mode.h"

namespace {

constexpr BankLayout kFreeBankLayout{free_control::kQuestion, free_control::kRightAnswer,
                                     QuestionCleaning::TrimSpacesThenCollapse};

} // namespace

CFreeModeUI::CFreeModeUI() : CFreeModeUI(kFreeModeSkinFile) {}

CFreeModeUI::CFreeModeUI(std::u16string_view skinFile) : CPanelBase(skinFile, kFreeBankLayout) {}

int CFreeModeUI::InitPanel(int /*reserved1*/, int /*reserved2*/, IVideoEffect* effect,
                           LPCWSTR /*text1*/, LPCWSTR /*text2*/, DWORD lcid) {
    const std::u16string languageFile = LoadLanguage(lcid);
    effect_ = dynamic_cast<CFreeModeImpl*>(effect);
    if (effect_) effect_->SetLanguageFile(languageFile.c_str());
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
    effect_->PresentQuestion(question.c_str());
    effect_->SetRightAnswer(answer.c_str());
    return true;
}

bool CFreeModeUI::OnTextColorClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return true;
    if (!effect_) return false;
    effect_->SetOverlayTextColor(kTextColorCycle[colorIndex_]);
    colorIndex_ = (colorIndex_ + 1) % kTextColorCount;
    return true;
}

bool CFreeModeUI::OnShowQuestionOption(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_SELECTCHANGED)) return true;
    auto* option =
        dynamic_cast<DuiLib::COptionUI*>(FindControlByName(free_control::kOptShowQuestion));
    if (!option) return false;
    const bool selected = option->IsSelected();
    if (effect_) effect_->SetShowQuestionText(selected);
    return selected;
}

void CFreeModeUI::OnEntryStepped() {
    HideGameQuestion();
}

void CFreeModeUI::OnBankFileChosen() {
    HideGameQuestion();
}

void CFreeModeUI::HideGameQuestion() {
    if (effect_) effect_->SetQuestionVisible(false);
}
