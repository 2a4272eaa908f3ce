// What panel and bank tests share: bank files written for one test, environment variables set for
// one test, the host's message-box and file-dialog presenters and the trace sink replaced by
// recorders, and a panel driven by control name.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "askgame/video_effect.h"
#include "platform/debug.h"
#include "platform/file.h"
#include "platform/shell.h"
#include "platform/utf.h"
#include "support/scoped_env.h"
#include "toolkit/UIlib.h"

// A folder of bank files for one test, removed afterwards.
class BankFiles {
public:
    BankFiles() {
        static int serial = 0;
        folder_ = std::filesystem::temp_directory_path() /
                  ("askgame-banks-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(folder_);
    }
    ~BankFiles() { std::filesystem::remove_all(folder_); }
    BankFiles(const BankFiles&) = delete;
    BankFiles& operator=(const BankFiles&) = delete;

    // Writes `bytes` as they stand and answers the file's Windows-shaped path.
    std::u16string Write(const std::string& name, const std::string& bytes) const {
        const auto path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return FromNativePath(path.string());
    }
    std::u16string Missing() const { return FromNativePath((folder_ / "missing.txt").string()); }

private:
    std::filesystem::path folder_;
};

// Records every message box (answering OK) for as long as it lives.
class MessageBoxRecorder {
public:
    struct Box {
        HWND owner;
        std::u16string text;
        std::u16string caption;
        UINT type;
    };

    MessageBoxRecorder() {
        previous_ = SetMessageBoxPresenter([this](const MessageBoxRequest& request) {
            boxes.push_back({request.owner, std::u16string(request.text),
                             std::u16string(request.caption), request.type});
            return IDOK;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxPresenter(previous_); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    std::vector<Box> boxes;

private:
    MessageBoxPresenter previous_;
};

// Answers every file-open dialog with one path (or a cancel) and keeps the last request.
class OpenFileAnswer {
public:
    explicit OpenFileAnswer(std::optional<std::u16string> answer) {
        previous_ = SetOpenFilePresenter([this, answer](const OpenFileRequest& request) {
            lastRequest = request;
            ++calls;
            return answer;
        });
    }
    ~OpenFileAnswer() { SetOpenFilePresenter(previous_); }
    OpenFileAnswer(const OpenFileAnswer&) = delete;
    OpenFileAnswer& operator=(const OpenFileAnswer&) = delete;

    std::optional<OpenFileRequest> lastRequest;
    int calls = 0;

private:
    OpenFilePresenter previous_;
};

// Keeps every diagnostic trace for as long as it lives.
class TraceRecorder : public IDebugOutputSink {
public:
    TraceRecorder() { previous_ = SetDebugOutputSink(this); }
    ~TraceRecorder() override { SetDebugOutputSink(previous_); }
    void WriteAnsi(std::string_view bytes) override { ansi.emplace_back(bytes); }
    void WriteWide(std::u16string_view text) override { wide.emplace_back(text); }
    std::vector<std::string> ansi;
    std::vector<std::u16string> wide;

private:
    IDebugOutputSink* previous_ = nullptr;
};

// A panel in the host's window, driven by control name, with a recorder for message boxes,
// files for banks and UTF-8 as the system code page.
template <class Panel>
class PanelTest : public ::testing::Test {
protected:
    explicit PanelTest(HWND window) {
        manager_.Init(window);
        manager_.AttachDialog(panel_.get());
    }
    void StartAsHost(IVideoEffect* effect = nullptr) {
        EXPECT_EQ(panel_->InitPanel(0, 0, effect, u"", u"", LCID_ENGLISH_US), 1);
        EXPECT_EQ(panel_->BindControls(), 1);
    }
    void Load(const std::string& bytes) {
        panel_->LoadQuestionBank(files_.Write("bank.txt", bytes).c_str());
    }
    DuiLib::CControlUI& Control(DuiLib::LPCTSTR name) {
        DuiLib::CControlUI* control = panel_->FindControlByName(name);
        EXPECT_NE(control, nullptr) << "no control named " << Utf16ToUtf8(name);
        return control ? *control : missing_;
    }
    std::u16string Text(DuiLib::LPCTSTR name) { return Control(name).GetText().Str(); }
    void Type(DuiLib::LPCTSTR name, std::u16string_view text) {
        Control(name).SetText(DuiLib::CDuiString(text));
    }
    void Click(DuiLib::LPCTSTR name) { EXPECT_TRUE(Control(name).Activate()); }

    const ScopedEnv acp_{"ASKGAME_ACP", "65001"};
    const BankFiles files_;
    MessageBoxRecorder boxes_;
    DuiLib::CPaintManagerUI manager_;
    std::unique_ptr<Panel> panel_ = std::make_unique<Panel>();
    DuiLib::CControlUI missing_;
};
