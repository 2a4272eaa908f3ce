#include "ui/challenge_mode_ui.h"

#include <array>

#include "game/challenge_game.h"
#include "platform/debug.h"

namespace {

constexpr BankLayout kChallengeBankLayout{challenge_control::kChallengeQue,
                                          challenge_control::kChallengeAnswer,
                                          QuestionCleaning::CollapseThenTrimLines};

// Diagnostic traces of the push button; the first is "开始" in code page 936.
constexpr const char* kTracePushNotified = "\xBF\xAA\xCA\xBC";
constexpr const char* kTracePushClicked = "Click";
constexpr const char* kTracePlayersPresent = "Gift";

} // namespace

CChallengeModeUI::CChallengeModeUI() : CChallengeModeUI(kChallengeModeSkinFile) {}

CChallengeModeUI::CChallengeModeUI(std::u16string_view skinFile)
    : CPanelBase(skinFile, kChallengeBankLayout) {}

int CChallengeModeUI::InitPanel(int /*reserved1*/, int /*reserved2*/, IVideoEffect* effect,
                                LPCWSTR /*text1*/, LPCWSTR /*text2*/, DWORD lcid) {
    const std::u16string languageFile = LoadLanguage(lcid);
    effect_ = dynamic_cast<CChallengeGameImpl*>(effect);
    if (effect_) effect_->SetLanguageFile(languageFile.c_str());
    LoadSampleQuestionBank();
    SetControlText(challenge_control::kRightAnswerer, u"");
    return 1;
}

int CChallengeModeUI::BindControls() {
    using Binding = HandlerBinding<CChallengeModeUI>;
    static constexpr std::array<Binding, 7> kHandlers{{
        {challenge_control::kButtonShowChallengQue, &CChallengeModeUI::OnPushQuestionClick},
        {panel_control::kBtnQuestions, &CChallengeModeUI::ChooseQuestionBankFile},
        {panel_control::kBtnGo, &CChallengeModeUI::OnGoClick},
        {panel_control::kBtnNextQue, &CChallengeModeUI::OnNextClick},
        {panel_control::kBtnBackQue, &CChallengeModeUI::OnBackClick},
        {panel_control::kBtnTextColor, &CChallengeModeUI::OnTextColorClick},
        {challenge_control::kBtnNewRound, &CChallengeModeUI::OnNewRoundClick},
    }};
    BindHandlers<CChallengeModeUI>(this, kHandlers);
    OnNotify += DuiLib::MakeDelegate(this, &CChallengeModeUI::OnGameNotify);
    return 1;
}

bool CChallengeModeUI::OnPushQuestionClick(void* notification) {
    OutputDebugStringA(kTracePushNotified);
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    OutputDebugStringA(kTracePushClicked);
    // Without a game there is nobody to ask.
    if (!effect_ || effect_->GetPlayerCount() == 0) {
        ShowMessage(u"NeedPlayer");
        return true;
    }
    OutputDebugStringA(kTracePlayersPresent);
    const std::u16string question = ControlText(challenge_control::kChallengeQue);
    const std::u16string answer = ControlText(challenge_control::kChallengeAnswer);
    OutputDebugStringW(question.c_str());
    OutputDebugStringW(answer.c_str());
    // A question the round limit refused changes nothing: the one shown keeps its answer.
    if (!effect_->SubmitQuestion(question.c_str())) return true;
    effect_->SetCorrectAnswer(answer.c_str());
    effect_->StartAnswerScan();
    return true;
}

bool CChallengeModeUI::OnTextColorClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    if (!effect_) return false;
    effect_->SetQuestionColour(kTextColorCycle[colorIndex_]);
    colorIndex_ = (colorIndex_ + 1) % kTextColorCount;
    return true;
}

bool CChallengeModeUI::OnNewRoundClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    if (effect_) effect_->NewRound();
    ForgetRightAnswerer();
    return true;
}

bool CChallengeModeUI::OnGameNotify(void* notification) {
    if (!IsNotification(notification, kGameNotify)) return true;
    DuiLib::CControlUI* answerer = FindControlByName(challenge_control::kRightAnswerer);
    if (answerer && effect_) answerer->SetText(effect_->GetRightAnswererText().c_str());
    return true;
}

void CChallengeModeUI::OnBankEmptied() {
    SetControlText(challenge_control::kRightAnswerer, u"");
}

void CChallengeModeUI::OnEntryStepped() {
    ForgetRightAnswerer();
}

void CChallengeModeUI::ForgetRightAnswerer() {
    SetControlText(challenge_control::kRightAnswerer, u"");
    if (effect_) effect_->ClearAnswered();
}
