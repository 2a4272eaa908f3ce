// The Win32-shaped shell: modules, folders, language, and the boxes a host presents.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/debug.h"
#include "platform/file.h"
#include "platform/shell.h"
#include "platform/utf.h"
#include "support/panel_harness.h"
#include "toolkit/ui_manager.h"

namespace {

HWND FakeWindow(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

// A function's address in the form GetModuleHandleExW takes with the FROM_ADDRESS flag.
template <class Fn>
LPCWSTR AddressOf(Fn* function) {
    return reinterpret_cast<LPCWSTR>(reinterpret_cast<std::uintptr_t>(function));
}

std::filesystem::path FreshTempDir(const char* name) {
    auto dir = std::filesystem::temp_directory_path() /
               (std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    return dir;
}

// ---- Message boxes

TEST(MessageBox, HostPresenterSeesCaptionTextOwnerAndButtonsAndNoneAnswersOk) {
    std::vector<std::u16string> seen;
    HWND owner = nullptr;
    UINT type = 99;
    const auto previous = SetMessageBoxPresenter([&](const MessageBoxRequest& box) {
        seen = {std::u16string(box.caption), std::u16string(box.text)};
        owner = box.owner;
        type = box.type;
        return IDCANCEL;
    });

    EXPECT_EQ(MessageBoxW(FakeWindow(0x1234), u"题库里没有题目", u"提示", MB_OK), IDCANCEL);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"提示", u"题库里没有题目"}));
    EXPECT_EQ(owner, FakeWindow(0x1234));
    EXPECT_EQ(type, MB_OK);

    // A box without an owner and with null texts still reaches the presenter, as on Windows.
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, nullptr, MB_OK), IDCANCEL);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"Error", u""}));

    // Without a presenter the box is answered OK.
    SetMessageBoxPresenter(nullptr);
    EXPECT_EQ(MessageBoxW(nullptr, u"printed to stderr", u"caption", MB_OK), IDOK);
    SetMessageBoxPresenter(previous);
}

// ---- The file-open dialog

class OpenFileDialog : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = FreshTempDir("askgame-shell-dialog");
        std::filesystem::create_directories(dir_);
        std::ofstream(dir_ / "bank.txt") << "[问题]";
        bankPath_ = FromNativePath((dir_ / "bank.txt").string());
        dialog_.lStructSize = sizeof dialog_;
        dialog_.hwndOwner = FakeWindow(0x77);
        dialog_.lpstrFilter = u"Text Files (*.txt;)\0*.txt\0";
        dialog_.nFilterIndex = 1;
        dialog_.lpstrFile = buffer_.data();
        dialog_.nMaxFile = static_cast<DWORD>(buffer_.size());
        dialog_.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
        previous_ = SetOpenFilePresenter(nullptr);
    }
    void TearDown() override {
        SetOpenFilePresenter(previous_);
        std::filesystem::remove_all(dir_);
    }
    void Answer(std::optional<std::u16string> path) {
        SetOpenFilePresenter([this, path](const OpenFileRequest& request) {
            request_ = request;
            return path;
        });
    }

    std::filesystem::path dir_;
    std::u16string bankPath_;
    std::vector<char16_t> buffer_ = std::vector<char16_t>(MAX_PATH, u'\0');
    OPENFILENAMEW dialog_{};
    OpenFilePresenter previous_;
    OpenFileRequest request_{};
};

TEST_F(OpenFileDialog, DefaultCancelsAndLeavesTheBufferEmpty) {
    EXPECT_EQ(GetOpenFileNameW(&dialog_), FALSE);
    EXPECT_EQ(buffer_[0], u'\0');
}

TEST_F(OpenFileDialog, HostChoiceIsCopiedWithItsOffsets) {
    Answer(bankPath_);
    ASSERT_EQ(GetOpenFileNameW(&dialog_), TRUE);
    EXPECT_EQ(std::u16string(buffer_.data()), bankPath_);
    EXPECT_EQ(std::u16string(buffer_.data() + dialog_.nFileOffset), u"bank.txt");
    EXPECT_EQ(std::u16string(buffer_.data() + dialog_.nFileExtension), u"txt");

    EXPECT_EQ(request_.owner, FakeWindow(0x77));
    ASSERT_EQ(request_.filters.size(), 1u);
    EXPECT_EQ(request_.filters[0].displayText, u"Text Files (*.txt;)");
    EXPECT_EQ(request_.filters[0].pattern, u"*.txt");
    EXPECT_EQ(request_.filterIndex, 1u);
    EXPECT_EQ(request_.flags, 0x00081800u);
}

TEST_F(OpenFileDialog, RefusesAPathThatDoesNotFitOrDoesNotExist) {
    Answer(bankPath_);
    dialog_.nMaxFile = static_cast<DWORD>(bankPath_.size()); // no room for the terminator
    EXPECT_EQ(GetOpenFileNameW(&dialog_), FALSE);
    EXPECT_EQ(buffer_[0], u'\0');

    dialog_.nMaxFile = static_cast<DWORD>(bankPath_.size() + 1);
    EXPECT_EQ(GetOpenFileNameW(&dialog_), TRUE);

    buffer_.assign(buffer_.size(), u'\0');
    Answer(bankPath_ + u".missing");
    EXPECT_EQ(GetOpenFileNameW(&dialog_), FALSE);
    EXPECT_EQ(buffer_[0], u'\0');
    Answer(std::u16string());
    EXPECT_EQ(GetOpenFileNameW(&dialog_), FALSE);
}

// ---- Modules

TEST(Modules, NullModuleIsTheTestExecutable) {
    char16_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    const std::u16string name(path, length);
    EXPECT_TRUE(name.ends_with(u"\\askgame_tests")) << Utf16ToUtf8(name);
    EXPECT_EQ(GetFileAttributesW(path), FILE_ATTRIBUTE_NORMAL);

    // The executable's handle is also what an address inside it answers.
    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, AddressOf(&FreshTempDir),
                                   &fromAddress));
    EXPECT_EQ(fromAddress, GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleFileNameW(fromAddress, path, MAX_PATH), length);
}

TEST(Modules, TruncationFollowsWin32) {
    char16_t full[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, full, MAX_PATH);
    ASSERT_GT(length, 4u);

    std::vector<char16_t> exact(length + 1, u'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, exact.data(), length + 1), length);
    EXPECT_EQ(std::u16string(exact.data()), std::u16string(full));

    // One unit short: length - 1 units and a terminator, and the buffer size is answered.
    std::vector<char16_t> shorter(length + 1, u'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, shorter.data(), length), length);
    EXPECT_EQ(shorter[length - 1], u'\0');
    EXPECT_EQ(std::u16string(shorter.data()), std::u16string(full, length - 1));
    EXPECT_EQ(shorter[length], u'#');

    EXPECT_EQ(GetModuleFileNameW(nullptr, shorter.data(), 0), 0u);
}

TEST(Modules, ALibraryHandleNamesThatLibrary) {
    HMODULE toolkit = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   AddressOf(&DuiLib::CPaintManagerUI::SetInstance), &toolkit));
    EXPECT_NE(toolkit, GetModuleHandleW(nullptr));
    EXPECT_EQ(GetModuleHandleW(u"libaskgame-toolkit.so"), toolkit);

    char16_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(toolkit, path, MAX_PATH);
    EXPECT_TRUE(std::u16string(path, length).ends_with(u"\\libaskgame-toolkit.so"));

    // An address inside a module is not a handle, and unknown names answer NULL.
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(reinterpret_cast<char*>(toolkit) + 1),
                                 path, MAX_PATH),
              0u);
    EXPECT_EQ(GetModuleHandleW(u"no-such-module.so"), nullptr);
}

// ---- Folders and language

TEST(AppDataFolder, ComesFromXdgConfigHomeElseHomeConfig) {
    const auto dir = FreshTempDir("askgame-shell-appdata");
    char16_t path[MAX_PATH];
    {
        ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").c_str());
        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE), TRUE);
        EXPECT_EQ(std::u16string(path), FromNativePath((dir / "config").string()));
        EXPECT_FALSE(std::filesystem::exists(dir / "config"));

        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, TRUE), TRUE);
        EXPECT_TRUE(std::filesystem::is_directory(dir / "config"));
        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, 28, FALSE), FALSE);
    }
    {
        ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
        ScopedEnv home("HOME", dir.c_str());
        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE), TRUE);
        EXPECT_EQ(std::u16string(path), FromNativePath((dir / ".config").string()));
    }
    {
        // A folder whose path would not fit the caller's MAX_PATH buffer is refused.
        const std::string deep = "/" + std::string(MAX_PATH, 'a');
        ScopedEnv config("XDG_CONFIG_HOME", deep.c_str());
        EXPECT_EQ(SHGetSpecialFolderPathW(nullptr, path, CSIDL_APPDATA, FALSE), FALSE);
    }
    std::filesystem::remove_all(dir);
}

TEST(DefaultLanguage, AskgameLcidWinsOverLang) {
    ScopedEnv lang("LANG", "zh_CN.UTF-8");
    {
        ScopedEnv lcid("ASKGAME_LCID", "1028");
        EXPECT_EQ(GetSystemDefaultLCID(), 1028u);
    }
    {
        ScopedEnv lcid("ASKGAME_LCID", "0x804");
        EXPECT_EQ(GetSystemDefaultLCID(), 2052u);
    }
    {
        ScopedEnv lcid("ASKGAME_LCID", "chinese"); // not a number: LANG decides
        EXPECT_EQ(GetSystemDefaultLCID(), 2052u);
    }
}

TEST(DefaultLanguage, LangTerritoryPicksTheChineseVariant) {
    ScopedEnv lcid("ASKGAME_LCID", nullptr);
    const std::pair<const char*, LCID> cases[] = {
        {"zh_CN.UTF-8", 2052}, {"zh_TW.UTF-8", 1028}, {"zh_HK.Big5", 3076},
        {"zh_SG", 4100},       {"en_GB.UTF-8", 1033}, {"zh", 1033},
        {"C", 1033},           {"zh_CNX", 1033},      {"", 1033}};
    for (const auto& [locale, expected] : cases) {
        ScopedEnv lang("LANG", locale);
        EXPECT_EQ(GetSystemDefaultLCID(), expected) << locale;
    }
    ScopedEnv lang("LANG", nullptr);
    EXPECT_EQ(GetSystemDefaultLCID(), 1033u);
}

// ---- Debugger output

TEST(DebugOutput, TracesReachTheInstalledSinkUntouched) {
    TraceRecorder sink;
    OutputDebugStringA("\xBF\xAA\xCA\xBC"); // "开始" in code page 936
    OutputDebugStringW(u"题目：一加一");
    OutputDebugStringA(nullptr);

    EXPECT_EQ(sink.ansi, std::vector<std::string>{"\xBF\xAA\xCA\xBC"});
    EXPECT_EQ(sink.wide, std::vector<std::u16string>{u"题目：一加一"});
}

TEST(DebugOutput, WithoutASinkTracesAreSilentUnlessAsked) {
    ScopedEnv debug("ASKGAME_DEBUG", nullptr);
    testing::internal::CaptureStderr();
    OutputDebugStringW(u"quiet");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    ScopedEnv on("ASKGAME_DEBUG", "1");
    testing::internal::CaptureStderr();
    OutputDebugStringW(u"隐藏题目");
    OutputDebugStringA("Click");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "隐藏题目\nClick\n");
}

} // namespace
