// What both presenter panels share: the control tree built from a skin file beside the library,
// control lookup by name, handlers wired to controls from a table, message boxes owned by the
// panel's window, the question bank with its loader, file chooser and navigation.
//
// A panel derives this class (IEffPlugInUI first, INotifyUI second) and adds its game, its
// handler table and the few points where the two panels differ (the virtual hooks below).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "askgame/effect_panel.h"
#include "game/question_bank.h"
#include "ui/language_table.h"
#include "ui/no_throw_delegate.h"

// The text colours the panels' colour buttons step through, in order (0xAARRGGBB).
inline constexpr std::uint32_t kTextColorCycle[] = {0x9FFFCB71, 0x9F1995E4, 0x9FEF2978, 0xFFFFFFFF};
inline constexpr int kTextColorCount = static_cast<int>(std::size(kTextColorCycle));

// Colour of the question text in the panel once a bank is loaded.
inline constexpr DWORD kPanelQuestionTextColor = 0xFF585F63;

// The question bank a panel loads at start-up, relative to the host executable's folder.
inline constexpr std::u16string_view kSampleBankPath = u"VideoGames\\AskGame\\Ti_Ku_Yang_Li.txt";

// Name of the panel container itself.
inline constexpr DuiLib::LPCTSTR kPanelName = u"GameList";

// Controls both panels' skins name.
namespace panel_control {
inline constexpr DuiLib::LPCTSTR kEditNum = u"EditNum";
inline constexpr DuiLib::LPCTSTR kLabMaxNum = u"LabMaxNum";
inline constexpr DuiLib::LPCTSTR kBtnQuestions = u"BtnQuestions";
inline constexpr DuiLib::LPCTSTR kBtnGo = u"BtnGo";
inline constexpr DuiLib::LPCTSTR kBtnNextQue = u"BtnNextQue";
inline constexpr DuiLib::LPCTSTR kBtnBackQue = u"BtnBackQue";
inline constexpr DuiLib::LPCTSTR kBtnTextColor = u"BtnTextColor";
} // namespace panel_control

// The file-open dialog that picks a bank.
inline constexpr char16_t kBankFileFilter[] = u"Text Files (*.txt;)\0*.txt\0"; // pair + final NUL
inline constexpr DWORD kBankFileDialogFlags = 0x00081800; // explorer, file and path must exist
inline constexpr DWORD kBankFilePathUnits = 20800;

// The question number typed in "EditNum": leading white space skipped, an optional sign and
// decimal digits read up to the first other character; 0 without digits. Saturates at the int
// range instead of overflowing.
int ParseQuestionNumber(std::u16string_view text);
// "%2d%": at least two places, right-aligned with a space (" 7", "12").
std::u16string FormatQuestionNumber(int number);
// "%02d%": at least two digits with leading zeros ("07", "130").
std::u16string FormatQuestionCount(int count);

// Where a panel shows a bank entry and how it cleans the bank's questions.
struct BankLayout {
    DuiLib::LPCTSTR questionControl;
    DuiLib::LPCTSTR answerControl;
    QuestionCleaning cleaning;
};

class CPanelBase : public IEffPlugInUI, public DuiLib::INotifyUI {
public:
    ~CPanelBase() override;

    // Return 1 and do nothing else.
    int OnHostValues(int value1, int value2) override;
    void OnHostSignal() override {}
    // All reactions come through the per-control handlers.
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The first control of the panel's subtree named exactly `name`, or null.
    DuiLib::CControlUI* FindControlByName(DuiLib::LPCTSTR name);

    // Replaces the bank with the file at `path` and shows its first entry, its size and its path.
    // "EditNum" goes back to 1 even when the file cannot be read; a file without any question
    // shows the "NoQue" message, one that is not a regular file "BankNotFile" and one above
    // kMaxQuestionBankBytes "BankTooLarge". Never throws: out of memory leaves an empty bank.
    void LoadQuestionBank(LPCWSTR path) noexcept;
    // The sample bank beside the host executable.
    void LoadSampleQuestionBank();
    const QuestionBank& GetQuestionBank() const { return bank_; }
    const std::u16string& GetQuestionBankPath() const { return bankPath_; }

protected:
    template <class Panel>
    struct HandlerBinding {
        DuiLib::LPCTSTR control;
        bool (Panel::*handler)(void*);
    };

    // Builds the panel from `skinFile` (e.g. "Skin\freeAnwser.xml") in the library's folder. A
    // skin that is missing or unusable leaves the panel an empty container.
    CPanelBase(std::u16string_view skinFile, BankLayout layout);

    // Subscribes each handler to its control's notifications, in table order; controls the skin
    // lacks are skipped.
    // Each handler runs behind a guard: nothing it throws reaches the toolkit.
    template <class Panel>
    void BindHandlers(Panel* panel, std::span<const HandlerBinding<Panel>> table) {
        for (const HandlerBinding<Panel>& binding : table) {
            if (DuiLib::CControlUI* control = FindControlByName(binding.control))
                control->OnNotify += NoThrowDelegate<Panel>(panel, binding.handler);
        }
    }

    // Loads the panel's language table for a host language; answers the file's path, for the game.
    std::u16string LoadLanguage(DWORD lcid);
    // A message box owned by the panel's window: OK only, caption "tipTitle", text `id`.
    void ShowMessage(std::u16string_view id);

    // True when `notification` is a toolkit notification of `type`.
    static bool IsNotification(void* notification, DuiLib::LPCTSTR type);
    // The text of a named control; empty when the skin lacks it.
    std::u16string ControlText(DuiLib::LPCTSTR name);
    // Sets the text of a named control, when the skin has it.
    void SetControlText(DuiLib::LPCTSTR name, std::u16string_view text);

    // Shared handlers. "BtnQuestions": the file chooser.
    bool ChooseQuestionBankFile(void* notification);
    // "BtnGo": shows the entry numbered in "EditNum", or the "PlayGroup" message.
    bool OnGoClick(void* notification);
    // "BtnNextQue" and "BtnBackQue": step one entry when the bank has it; false otherwise.
    bool OnNextClick(void* notification);
    bool OnBackClick(void* notification);

    // Where the panels differ. Each load has emptied the bank (before the file is read).
    virtual void OnBankEmptied() {}
    // "BtnNextQue" or "BtnBackQue" has shown another entry.
    virtual void OnEntryStepped() {}
    // A file was chosen through "BtnQuestions" and is about to load.
    virtual void OnBankFileChosen() {}

    CLanguageTable languageTable_;

private:
    void BuildFromSkin(std::u16string_view skinFile);
    void LoadQuestionBankFile(LPCWSTR path);
    void TraceBankRefusal(FileReadStatus status) const;
    HWND OwnerWindow() const;
    void ShowEntry(int index);
    bool StepTo(long long number);

    BankLayout layout_;
    QuestionBank bank_;
    std::u16string bankPath_;
};
