#include "ui/panel_base.h"

#include <climits>
#include <cstdio>
#include <vector>

#include "markup/markup_document.h"
#include "platform/debug.h"
#include "platform/file.h"
#include "platform/shell.h"
#include "platform/utf.h"
#include "plugin/library.h"
#include "toolkit/UIlib.h"
#include "ui/localisation.h"

namespace {

bool IsBlank(char16_t ch) {
    return ch == u' ' || (ch >= u'\t' && ch <= u'\r');
}

// A panel without its skin is an empty panel: the trace names the file and what was wrong.
void TraceBrokenSkin(std::u16string_view skinFile, const std::u16string& path,
                     const CMarkupDocument& document, const std::u16string& builderError) {
    std::string reason;
    if (path.empty())
        reason = "its path cannot be formed";
    else if (!PathFileExistsW(path.c_str()))
        reason = "missing";
    else if (document.GetDoc().empty())
        reason = "empty or unreadable";
    else
        reason = builderError.empty() ? "no usable control tree" : Utf16ToUtf8(builderError);
    const std::string trace = "askgame: skin " +
                              ToNativePath(path.empty() ? std::u16string(skinFile) : path) + ": " +
                              reason + "; the panel stays empty";
    OutputDebugStringA(trace.c_str());
}

std::u16string Widen(const char* ascii) {
    std::u16string text;
    for (; *ascii; ++ascii)
        text.push_back(static_cast<char16_t>(*ascii));
    return text;
}

// The folder of this library's own module joined with `fileName`; empty when it cannot be formed
// within the system's path buffers.
std::u16string LibraryRelativePath(std::u16string_view fileName) {
    char16_t module[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(GetLibraryModule(), module, MAX_PATH);
    if (length == 0 || length >= static_cast<DWORD>(MAX_PATH)) return {};
    std::u16string path(module, length);
    if (!ReplaceFileName(fileName, path)) return {};
    return path;
}

} // namespace

int ParseQuestionNumber(std::u16string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
    long long value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
        value = value * 10 + (text[at] - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return value > INT_MAX ? INT_MIN : -static_cast<int>(value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

std::u16string FormatQuestionNumber(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%2d", number);
    return Widen(text);
}

std::u16string FormatQuestionCount(int count) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", count);
    return Widen(text);
}

// ---- Construction

CPanelBase::CPanelBase(std::u16string_view skinFile, BankLayout layout) : layout_(layout) {
    BuildFromSkin(skinFile);
}

CPanelBase::~CPanelBase() = default;

void CPanelBase::BuildFromSkin(std::u16string_view skinFile) {
    const std::u16string path = LibraryRelativePath(skinFile);
    CMarkupDocument document;
    if (!path.empty()) document.LoadFile(path);
    // Only skin text goes to the builder: it would take anything else for a file name to open.
    const std::u16string& text = document.GetDoc();
    const auto start = text.find(u'<');
    DuiLib::CControlUI* root = nullptr;
    DuiLib::CDialogBuilder builder;
    if (start != std::u16string::npos)
        root = builder.Create(text.c_str() + start, nullptr, nullptr, nullptr, nullptr);
    if (!root) {
        TraceBrokenSkin(skinFile, path, document, builder.GetLastErrorMessage().Str());
        RemoveAll();
        return;
    }
    SetName(kPanelName);
    if (!Add(root)) delete root;
}

int CPanelBase::OnHostValues(int /*value1*/, int /*value2*/) {
    return 1;
}

void CPanelBase::Notify(DuiLib::TNotifyUI& /*msg*/) {}

DuiLib::CControlUI* CPanelBase::FindControlByName(DuiLib::LPCTSTR name) {
    return FindControl(DuiLib::FindControlByNameProc,
                       const_cast<void*>(static_cast<const void*>(name)), DuiLib::UIFIND_ALL);
}

// ---- Language and messages

std::u16string CPanelBase::LoadLanguage(DWORD lcid) {
    const std::u16string path = GetLanguageFilePath(lcid);
    languageTable_.Load(path);
    return path;
}

HWND CPanelBase::OwnerWindow() const {
    const DuiLib::CPaintManagerUI* manager = GetManager();
    return manager ? manager->GetPaintWindow() : nullptr;
}

void CPanelBase::ShowMessage(std::u16string_view id) {
    const std::u16string text = languageTable_.GetString(id);
    const std::u16string caption = languageTable_.GetString(u"tipTitle");
    MessageBoxW(OwnerWindow(), text.c_str(), caption.c_str(), MB_OK);
}

// ---- Controls

bool CPanelBase::IsNotification(void* notification, DuiLib::LPCTSTR type) {
    const auto* msg = static_cast<const DuiLib::TNotifyUI*>(notification);
    return msg && msg->sType == type;
}

std::u16string CPanelBase::ControlText(DuiLib::LPCTSTR name) {
    const DuiLib::CControlUI* control = FindControlByName(name);
    return control ? control->GetText().Str() : std::u16string();
}

void CPanelBase::SetControlText(DuiLib::LPCTSTR name, std::u16string_view text) {
    if (DuiLib::CControlUI* control = FindControlByName(name))
        control->SetText(DuiLib::CDuiString(text));
}

// ---- The bank

void CPanelBase::LoadQuestionBank(LPCWSTR path) noexcept {
    try {
        LoadQuestionBankFile(path);
    } catch (...) {
        // Out of memory half way: the bank stays empty rather than half built.
        bank_.Clear();
        OutputDebugStringA("askgame: the question bank could not be loaded (out of memory)");
    }
}

void CPanelBase::LoadQuestionBankFile(LPCWSTR path) {
    bankPath_ = path ? path : u"";
    bank_.Clear();
    SetControlText(panel_control::kEditNum, FormatQuestionNumber(1));
    OnBankEmptied();

    const QuestionBankText file = ReadQuestionBankText(bankPath_.c_str());
    if (file.status != FileReadStatus::Ok) TraceBankRefusal(file.status);
    if (file.status == FileReadStatus::NotRegular) return ShowMessage(u"BankNotFile");
    if (file.status == FileReadStatus::TooLarge) return ShowMessage(u"BankTooLarge");
    if (file.text.empty()) return; // unreadable or empty: silently an empty bank
    bank_.Parse(file.text, layout_.cleaning);
    if (bank_.count() < 1) return ShowMessage(u"NoQue");
    ShowEntry(0);
    if (auto* question =
            dynamic_cast<DuiLib::CRichEditUI*>(FindControlByName(layout_.questionControl)))
        question->SetTextColor(kPanelQuestionTextColor);
    SetControlText(panel_control::kLabMaxNum, FormatQuestionCount(bank_.count()));
    if (DuiLib::CControlUI* button = FindControlByName(panel_control::kBtnQuestions))
        button->SetToolTip(bankPath_.c_str());
}

void CPanelBase::TraceBankRefusal(FileReadStatus status) const {
    const std::string trace =
        "askgame: question bank " + ToNativePath(bankPath_) + ": " + FileReadStatusText(status);
    OutputDebugStringA(trace.c_str());
}

void CPanelBase::LoadSampleQuestionBank() {
    // A path too long for the system's buffers comes back empty: nothing is opened then.
    const std::u16string path = MakeHostRelativePath(kSampleBankPath);
    LoadQuestionBank(path.c_str());
}

bool CPanelBase::ChooseQuestionBankFile(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    std::vector<char16_t> file(kBankFilePathUnits, u'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = OwnerWindow();
    dialog.lpstrFilter = kBankFileFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = kBankFilePathUnits;
    dialog.Flags = kBankFileDialogFlags;
    if (!GetOpenFileNameW(&dialog) || file[0] == u'\0') return true;
    OnBankFileChosen();
    LoadQuestionBank(file.data());
    return true;
}

// ---- Navigation

void CPanelBase::ShowEntry(int index) {
    const QuestionEntry* entry = bank_.At(index);
    if (!entry) return;
    SetControlText(layout_.questionControl, entry->question);
    SetControlText(layout_.answerControl, entry->answer);
}

bool CPanelBase::StepTo(long long number) {
    if (number < 1 || number > bank_.count()) return false;
    const int target = static_cast<int>(number);
    ShowEntry(target - 1);
    SetControlText(panel_control::kEditNum, FormatQuestionNumber(target));
    OnEntryStepped();
    return true;
}

bool CPanelBase::OnGoClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    const int number = ParseQuestionNumber(ControlText(panel_control::kEditNum));
    if (number < 1 || number > bank_.count()) {
        ShowMessage(u"PlayGroup");
        return true;
    }
    ShowEntry(number - 1); // "EditNum" keeps what was typed
    return true;
}

bool CPanelBase::OnNextClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    return StepTo(
        static_cast<long long>(ParseQuestionNumber(ControlText(panel_control::kEditNum))) + 1);
}

bool CPanelBase::OnBackClick(void* notification) {
    if (!IsNotification(notification, DuiLib::DUI_MSGTYPE_CLICK)) return false;
    return StepTo(
        static_cast<long long>(ParseQuestionNumber(ControlText(panel_control::kEditNum))) - 1);
}
