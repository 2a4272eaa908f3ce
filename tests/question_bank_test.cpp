// Question bank files: how their text becomes the questions and answers a panel walks.
#include <gtest/gtest.h>

#include <string>

#include "game/question_bank.h"
#include "platform/utf.h"
#include "support/panel_harness.h"

namespace {

using Cleaning = QuestionCleaning;
using namespace std::string_literals;

QuestionBank Parse(std::u16string_view text, Cleaning cleaning = Cleaning::CollapseThenTrimLines) {
    QuestionBank bank;
    bank.Parse(text, cleaning);
    return bank;
}

void ExpectSameEntries(const QuestionBank& a, const QuestionBank& b) {
    ASSERT_EQ(a.count(), b.count());
    for (int i = 0; i < a.count(); ++i) {
        EXPECT_EQ(a.At(i)->question, b.At(i)->question) << i;
        EXPECT_EQ(a.At(i)->answer, b.At(i)->answer) << i;
    }
}

constexpr std::u16string_view kThreeQuestions =
    u"[问题]\n中国的首都是哪座城市？\nA. 上海\nB. 北京\n[答案]\nB\n\n"
    u"[问题]\n一加一等于几？\n[答案]\n2\n\n"
    u"[问题]\n床前明月光\n[答案]\n疑是地上霜";

TEST(QuestionBankParse, EveryBlockBecomesOneEntryInFileOrder) {
    const QuestionBank bank = Parse(kThreeQuestions);
    ASSERT_EQ(bank.count(), 3);
    EXPECT_EQ(bank.At(0)->question, u"中国的首都是哪座城市？\nA. 上海\nB. 北京");
    EXPECT_EQ(bank.At(0)->answer, u"B");
    EXPECT_EQ(bank.At(1)->question, u"一加一等于几？");
    EXPECT_EQ(bank.At(2)->answer, u"疑是地上霜"); // the file's end closes the last answer
    EXPECT_EQ(bank.At(3), nullptr);
    EXPECT_EQ(bank.At(-1), nullptr);

    // Whatever a bank's author writes before the first question is not a question.
    const std::u16string withPreamble =
        u"示例题库\n[答案] not yet\n" + std::u16string(kThreeQuestions);
    ExpectSameEntries(Parse(withPreamble), bank);
}

TEST(QuestionBankParse, TheTwoPanelsCleanQuestionsDifferently) {
    const std::u16string_view block = u"[问题]\n  Which?  \n[答案]\n A \n";
    // The challenge panel trims line ends too; the free panel only spaces, so its question keeps
    // the line feeds around the text.
    EXPECT_EQ(Parse(block, Cleaning::CollapseThenTrimLines).At(0)->question, u"Which?");
    EXPECT_EQ(Parse(block, Cleaning::TrimSpacesThenCollapse).At(0)->question, u"\n  Which?  \n");
    EXPECT_EQ(Parse(block, Cleaning::TrimSpacesThenCollapse).At(0)->answer, u"A");

    // Only the first double line feed collapses: a blank line before the answer marker goes,
    // a second blank line inside the question stays.
    const std::u16string_view blank = u"[问题]\nQ\n\nA. x\n\nB. y\n\n[答案]\nB";
    EXPECT_EQ(Parse(blank, Cleaning::CollapseThenTrimLines).At(0)->question, u"Q\nA. x\n\nB. y");
    EXPECT_EQ(Parse(u"[问题]\n\nQ\n[答案]B", Cleaning::TrimSpacesThenCollapse).At(0)->question,
              u"\nQ\n");
}

TEST(QuestionBankParse, AnswersKeepWhatFollowsTheFirstAnswerMarker) {
    const QuestionBank bank = Parse(u"[问题]Q[答案]\tone[答案]two\r\n");
    ASSERT_EQ(bank.count(), 1);
    EXPECT_EQ(bank.At(0)->answer, u"\tone[答案]two"); // tabs are not trimmed
}

TEST(QuestionBankParse, UnusualBlocksGiveSoundEntries) {
    // A block without an answer marker is all question, with no answer.
    const QuestionBank noAnswer = Parse(u"[问题]\nQ1\n[问题]\nQ2\n[答案]\nA2");
    ASSERT_EQ(noAnswer.count(), 2);
    EXPECT_EQ(noAnswer.At(0)->question, u"Q1");
    EXPECT_EQ(noAnswer.At(0)->answer, u"");
    EXPECT_EQ(noAnswer.At(1)->answer, u"A2");

    // Texts made only of what is trimmed are empty, not left as blanks.
    const QuestionBank blank = Parse(u"[问题] \r\n [答案]\n \n", Cleaning::TrimSpacesThenCollapse);
    ASSERT_EQ(blank.count(), 1);
    EXPECT_EQ(blank.At(0)->answer, u"");
    EXPECT_EQ(Parse(u"[问题]   [答案]", Cleaning::TrimSpacesThenCollapse).At(0)->question, u"");

    EXPECT_EQ(Parse(u"just text, no question marker").count(), 0);
    EXPECT_EQ(Parse(u"").count(), 0);
}

TEST(QuestionBankParse, ParsingAgainReplacesTheBank) {
    QuestionBank bank = Parse(kThreeQuestions);
    bank.Parse(u"[问题]only[答案]one", Cleaning::CollapseThenTrimLines);
    ASSERT_EQ(bank.count(), 1);
    EXPECT_EQ(bank.At(0)->question, u"only");
    bank.Clear();
    EXPECT_EQ(bank.count(), 0);
}

TEST(QuestionBankText, CrLfFilesGiveTheSameEntriesAsLfFiles) {
    const ScopedEnv acp("ASKGAME_ACP", "65001");
    const std::string lf = Utf16ToUtf8(kThreeQuestions);
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);

    for (Cleaning cleaning : {Cleaning::CollapseThenTrimLines, Cleaning::TrimSpacesThenCollapse}) {
        QuestionBank fromLf, fromCrLf;
        fromLf.Parse(DecodeQuestionBankBytes(lf), cleaning);
        fromCrLf.Parse(DecodeQuestionBankBytes(crlf), cleaning);
        ExpectSameEntries(fromLf, fromCrLf);
    }
    // A lone CR is no line end and stays.
    EXPECT_EQ(DecodeQuestionBankBytes("a\rb\r\nc\r"), u"a\rb\nc\r");
}

TEST(QuestionBankText, TheFirstNulEndsTheText) {
    const ScopedEnv acp("ASKGAME_ACP", "65001");
    EXPECT_EQ(DecodeQuestionBankBytes("[问题]Q\0[问题]lost"s), u"[问题]Q");
    EXPECT_EQ(DecodeQuestionBankBytes("\0abc"s), u"");
}

TEST(QuestionBankText, AByteOrderMarkAtTheStartIsNoText) {
    {
        const ScopedEnv acp("ASKGAME_ACP", "65001");
        EXPECT_EQ(DecodeQuestionBankBytes("\xEF\xBB\xBF[问题]Q[答案]A"), u"[问题]Q[答案]A");
        // Anywhere else it is a character of the text, as the code page makes it.
        EXPECT_EQ(DecodeQuestionBankBytes("Q\xEF\xBB\xBF"), u"Q\uFEFF");
        EXPECT_EQ(DecodeQuestionBankBytes("\xEF\xBB\xBF"), u"");
    }
    // In GBK the mark's last byte and the "[" of the first "[问题]" would read as one character
    // and lose the first question.
    const ScopedEnv acp("ASKGAME_ACP", "936");
    const BankFiles files;
    // The mark, then "[问题]一[答案]是[问题]二[答案]否" in GBK.
    const std::u16string path = files.Write("bom.txt", "\xEF\xBB\xBF[\xCE\xCA\xCC\xE2]\xD2\xBB["
                                                       "\xB4\xF0\xB0\xB8]\xCA\xC7[\xCE\xCA\xCC\xE2]"
                                                       "\xB6\xFE[\xB4\xF0\xB0\xB8]\xB7\xF1");
    QuestionBank bank;
    bank.Parse(ReadQuestionBankText(path.c_str()).text, Cleaning::CollapseThenTrimLines);
    ASSERT_EQ(bank.count(), 2);
    EXPECT_EQ(bank.At(0)->question, u"一");
    EXPECT_EQ(bank.At(0)->answer, u"是");
}

TEST(QuestionBankText, FilesAreReadInTheAnsiCodePage) {
    const ScopedEnv acp("ASKGAME_ACP", "936");
    const BankFiles files;
    // "[问题]你好[答案]是" in GBK.
    const std::u16string path =
        files.Write("gbk.txt", "[\xCE\xCA\xCC\xE2]\xC4\xE3\xBA\xC3\r\n[\xB4\xF0\xB0\xB8]\xCA\xC7");
    QuestionBank bank;
    bank.Parse(ReadQuestionBankText(path.c_str()).text, Cleaning::CollapseThenTrimLines);
    ASSERT_EQ(bank.count(), 1);
    EXPECT_EQ(bank.At(0)->question, u"你好");
    EXPECT_EQ(bank.At(0)->answer, u"是");

    EXPECT_EQ(ReadQuestionBankText(files.Missing().c_str()).status, FileReadStatus::Missing);
    EXPECT_EQ(ReadQuestionBankText(nullptr).text, u"");
}

} // namespace
