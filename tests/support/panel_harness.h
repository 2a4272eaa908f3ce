// What panel and bank tests share: bank files written for one test, environment variables set for
// one test, and the host's message-box and file-dialog presenters replaced by recorders.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/shell.h"
#include "platform/utf.h"

// Sets (or, with null, unsets) an environment variable for one scope and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_.c_str(), old_->c_str(), 1);
        else
            unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

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
