// Bank files a presenter should never have picked: devices, FIFOs, folders, huge files. Each is
// refused at once with a reason, and no failure inside a panel handler reaches the toolkit.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <thread>

#include "game/question_bank.h"
#include "platform/file_read.h"
#include "support/panel_harness.h"
#include "ui/challenge_mode_ui.h"
#include "ui/free_mode_ui.h"
#include "ui/no_throw_delegate.h"

namespace {

const HWND kHostWindow = reinterpret_cast<HWND>(0x5150);

std::string NativeOf(const std::u16string& path) {
    return ToNativePath(path);
}

TEST(ReadRegularFile, ReadsRegularFilesUpToTheCapAndRefusesTheRest) {
    const BankFiles files;
    const std::u16string path = files.Write("eight.txt", std::string("12345678"));
    std::string bytes;
    EXPECT_EQ(ReadRegularFile(path.c_str(), 8, bytes), FileReadStatus::Ok);
    EXPECT_EQ(bytes, "12345678");
    EXPECT_EQ(ReadRegularFile(path.c_str(), 7, bytes), FileReadStatus::TooLarge);
    EXPECT_TRUE(bytes.empty());

    const std::u16string empty = files.Write("empty.txt", "");
    EXPECT_EQ(ReadRegularFile(empty.c_str(), 8, bytes), FileReadStatus::Ok);
    EXPECT_TRUE(bytes.empty());

    const std::u16string folder = path.substr(0, path.rfind(u'\\'));
    EXPECT_EQ(ReadRegularFile(folder.c_str(), 8, bytes), FileReadStatus::NotRegular);
    EXPECT_EQ(ReadRegularFile(u"/dev/zero", 1 << 20, bytes), FileReadStatus::NotRegular);
    EXPECT_EQ(ReadRegularFile(files.Missing().c_str(), 8, bytes), FileReadStatus::Missing);
    EXPECT_EQ(ReadRegularFile(nullptr, 8, bytes), FileReadStatus::Missing);
}

class BankRefusalTest : public PanelTest<CChallengeModeUI> {
protected:
    BankRefusalTest() : PanelTest(kHostWindow) { StartAsHost(); }

    // Loads through the bank button, as the presenter would.
    void Choose(const std::u16string& path) {
        const OpenFileAnswer answer(path);
        Click(u"BtnQuestions");
    }
    void ExpectRefusedWith(std::u16string_view start) {
        ASSERT_EQ(boxes_.boxes.size(), 1u);
        EXPECT_TRUE(boxes_.boxes[0].text.starts_with(start)) << Utf16ToUtf8(boxes_.boxes[0].text);
        EXPECT_EQ(boxes_.boxes[0].owner, kHostWindow);
        EXPECT_EQ(panel_->GetQuestionBank().count(), 0);
        EXPECT_EQ(Text(u"EditNum"), u" 1");
        ASSERT_FALSE(traces_.ansi.empty());
        EXPECT_NE(traces_.ansi.back().find("question bank"), std::string::npos);
    }

    TraceRecorder traces_;
};

TEST_F(BankRefusalTest, ADeviceIsRefusedWithoutReadingIt) {
    Choose(u"\\dev\\zero");
    ExpectRefusedWith(u"This is not a regular file.");
}

TEST_F(BankRefusalTest, AFifoIsRefusedWithoutWaitingForAWriter) {
    const BankFiles files;
    const std::u16string path = files.Write("placeholder", "") + u"-fifo";
    const std::string native = NativeOf(path);
    ASSERT_EQ(::mkfifo(native.c_str(), 0600), 0);
    // Should the load wait for a writer anyway, a writer comes after a while, so the test ends
    // with a failure instead of hanging.
    std::atomic<bool> loaded{false};
    std::thread rescue([&] {
        for (int i = 0; i < 50 && !loaded; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (loaded) return;
        const int fd = ::open(native.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
    });
    const auto start = std::chrono::steady_clock::now();
    Choose(path);
    loaded = true;
    rescue.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    ExpectRefusedWith(u"This is not a regular file.");
    ::unlink(native.c_str());
}

TEST_F(BankRefusalTest, AFileAboveTheCapIsRefusedAndTheOldTextsStay) {
    const BankFiles files;
    const std::u16string path = files.Write("huge.txt", "[问题]Q[答案]A");
    // Sparse: no disk space is used.
    ASSERT_EQ(::truncate(NativeOf(path).c_str(), kMaxQuestionBankBytes + 1), 0);
    const std::u16string shown = Text(u"ChallengeQue");
    Choose(path);
    ExpectRefusedWith(u"This file is too large for a question bank.");
    EXPECT_EQ(Text(u"ChallengeQue"), shown);
}

// A stand-in panel whose handler fails the way a load out of memory would.
class ThrowingPanel {
public:
    bool OnClick(void*) { throw std::bad_alloc(); }
};

TEST(NoThrowDelegate, AHandlerThatThrowsAnswersFalseWithATrace) {
    TraceRecorder traces;
    ThrowingPanel panel;
    DuiLib::CButtonUI button;
    button.OnNotify += NoThrowDelegate<ThrowingPanel>(&panel, &ThrowingPanel::OnClick);
    DuiLib::TNotifyUI click;
    click.sType = DuiLib::DUI_MSGTYPE_CLICK;
    click.pSender = &button;
    EXPECT_NO_THROW(EXPECT_FALSE(button.OnNotify(&click)));
    ASSERT_EQ(traces.ansi.size(), 1u);
    EXPECT_NE(traces.ansi[0].find("abandoned"), std::string::npos);
}

} // namespace
