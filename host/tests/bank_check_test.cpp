// `askgame-host bank`: a presenter's look at a bank before the show, read exactly as the panels
// read it, with warnings for what would surprise them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/bank_check.h"
#include "support/scoped_env.h"

namespace {

using host::ReviewBankBytes;
using Cleaning = QuestionCleaning;

bool Mentions(const std::vector<std::string>& warnings, const std::string& text) {
    for (const auto& w : warnings)
        if (w.find(text) != std::string::npos) return true;
    return false;
}

class BankReviewTest : public ::testing::Test {
protected:
    const ScopedEnv acp_{"ASKGAME_ACP", "65001"};
};

TEST_F(BankReviewTest, ACleanBankIsThePanelsBankWithTheLineOfEachQuestion) {
    const std::string bytes = "[问题]\r\n一年有几个月？\r\n\r\n[答案]\r\n12\r\n[问题]\r\n Red "
                              "planet?\r\n[答案]\r\nMars\r\n";
    for (Cleaning cleaning : {Cleaning::CollapseThenTrimLines, Cleaning::TrimSpacesThenCollapse}) {
        const auto review = ReviewBankBytes(bytes, cleaning);
        QuestionBank panels;
        panels.Parse(DecodeQuestionBankBytes(bytes), cleaning);
        EXPECT_TRUE(review.warnings.empty()) << review.warnings.front();
        ASSERT_EQ(review.bank.count(), panels.count());
        for (int i = 0; i < panels.count(); ++i) {
            EXPECT_EQ(review.bank.At(i)->question, panels.At(i)->question);
            EXPECT_EQ(review.bank.At(i)->answer, panels.At(i)->answer);
        }
        EXPECT_EQ(review.markerLines, (std::vector<int>{1, 6}));
    }
}

TEST_F(BankReviewTest, WarnsAboutWhatTheLoaderWouldMishandle) {
    const auto review = ReviewBankBytes("[问题]\nno answer here\n"
                                        "[问题]\nQ\n[答案]\nA\n[答案]\nB\n"
                                        "[问题]\n\n[答案]\n  \n"
                                        "[问题]\nlone\rCR\n[答案]\nA\n",
                                        Cleaning::CollapseThenTrimLines);
    const auto& w = review.warnings;
    EXPECT_TRUE(Mentions(w, "line 1: question 1 has no [答案]: the panels give it no answer; write "
                            "[答案] and the answer after the question"));
    EXPECT_TRUE(Mentions(w, "line 3: question 2 has a second [答案]"));
    EXPECT_TRUE(Mentions(w, "line 9: question 3 has an empty answer; write it after its [答案]"));
    EXPECT_TRUE(Mentions(w, "line 9: question 3 has an empty question"));
    EXPECT_TRUE(Mentions(w, "line 14: a lone carriage return"));
    EXPECT_EQ(w.size(), 5u);
    EXPECT_TRUE(review.notes.empty());
    EXPECT_EQ(review.bank.count(), 4);
    EXPECT_EQ(review.markerLines.size(), 4u);
}

// A title above the questions and a byte-order mark are what the panels skip as they should:
// notes, and the bank stays sound.
TEST_F(BankReviewTest, TitleTextAndAByteOrderMarkAreNotesOnly) {
    const auto sample =
        host::ReviewBankFile(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/Ti_Ku_Yang_Li.txt",
                             Cleaning::CollapseThenTrimLines);
    EXPECT_TRUE(sample.warnings.empty()) << sample.warnings.front();
    EXPECT_GT(sample.bank.count(), 0);
    EXPECT_EQ(sample.notes, (std::vector<std::string>{
                                "line 1: the text before the first [问题] (lines 1 to 3) is "
                                "ignored: the place for a title or notes"}));

    const auto bom =
        ReviewBankBytes("\xEF\xBB\xBF[问题]\nQ\n[答案]\nA\n", Cleaning::CollapseThenTrimLines);
    EXPECT_TRUE(bom.warnings.empty()) << bom.warnings.front();
    EXPECT_EQ(bom.notes,
              (std::vector<std::string>{"line 1: a UTF-8 byte-order mark, which the panels skip"}));
    EXPECT_EQ(bom.markerLines, (std::vector<int>{1}));
    EXPECT_EQ(bom.bank.At(0)->question, u"Q");

    // Where the panels read another code page, the mark says the rest is UTF-8 they misread.
    const ScopedEnv gbk("ASKGAME_ACP", "936");
    EXPECT_TRUE(
        Mentions(ReviewBankBytes("\xEF\xBB\xBF[x]", Cleaning::CollapseThenTrimLines).warnings,
                 "line 1: a UTF-8 byte-order mark: the file is UTF-8, but the panels read "
                 "it in code page 936; save it in that code page"));
}

TEST_F(BankReviewTest, AChoiceLetterAnswerMustNameOneOfTheChoices) {
    struct Case {
        const char* question;
        const char* answer;
        const char* choices; // as the problem lists them; null: the answer is sound
    };
    const Case cases[] = {
        {"Q\nA. x\nB. y\nC. z\nD. w", "E", "A, B, C, D"},
        {"Q\nA. x\nB. y\nC. z\nD. w", "d", nullptr},
        {"Q\nA、上海\nB、北京", "C", "A, B"},
        {"Q\nA．上海\nB．北京", "b", nullptr},
        {"Q\n(A) x\n(B) y", "C", "A, B"},
        {"Q\n（A）x\n（B）y", "B", nullptr},
        {"Q\nA) x\nB) y\nC) z", "F", "A, B, C"},
        {"Q\n a: x\n b: y", "C", "A, B"},
        // Several choices on one line.
        {"Q\nA. Venus   B. Mars\nC. Earth\tD. Jupiter", "D", nullptr},
        {"Q\nA. Venus   B. Mars", "C", "A, B"},
        // A question without choices may still have a one-letter answer.
        {"Which vitamin? C. is wrong", "B", nullptr},
        {"Which letter comes first?", "A", nullptr},
        // Only a single letter A to F is a choice answer.
        {"Q\nA. x\nB. y", "G", nullptr},
        {"Q\nA. x\nB. y", "CD", nullptr},
    };
    for (const Case& c : cases) {
        const std::string bank =
            std::string("[问题]\n") + c.question + "\n[答案]\n" + c.answer + "\n";
        const auto review = ReviewBankBytes(bank, Cleaning::CollapseThenTrimLines);
        if (c.choices == nullptr) {
            EXPECT_TRUE(review.warnings.empty()) << c.question << " / " << review.warnings.front();
            continue;
        }
        // "[问题]", the question's lines, "[答案]", the answer.
        const int answerLine =
            4 + static_cast<int>(std::ranges::count(std::string_view(c.question), '\n'));
        EXPECT_EQ(review.warnings,
                  (std::vector<std::string>{"line " + std::to_string(answerLine) +
                                            ": question 1's answer \"" + c.answer +
                                            "\" is none of its choices (" + c.choices +
                                            "); write the letter of the right one"}))
            << c.question;
    }
}

// Markers written another way are read as text: a question after "[Question]" becomes part of
// the answer before it.
TEST_F(BankReviewTest, MarkersWrittenAnotherWayAreNamedWithTheRightOne) {
    const char* const questionLike[] = {"[Question]", "[question]", "【问题】",     "[ 问题 ]",
                                        "[問題]",     "［问题］",   "[Question 2]", "[Q]"};
    const char* const answerLike[] = {"[Answer]", "[ANSWER]", "[答案 ]", "【答案】", "[Answer] B"};
    for (const char* written : questionLike) {
        const auto review = ReviewBankBytes(std::string("[问题]\nQ\n[答案]\nA\n  ") + written +
                                                "  \nQ2\n[答案]\nB\n",
                                            Cleaning::CollapseThenTrimLines);
        EXPECT_EQ(review.bank.count(), 1) << written;
        EXPECT_TRUE(Mentions(review.warnings, "line 5: \"" + std::string(written) +
                                                  "\" is no marker the panels know, so the line "
                                                  "is read as text; write [问题]"))
            << written;
    }
    for (const char* written : answerLike) {
        const auto review = ReviewBankBytes(std::string("[问题]\nQ\n") + written + "\nB\n",
                                            Cleaning::CollapseThenTrimLines);
        EXPECT_TRUE(Mentions(review.warnings, "line 3: \""))
            << written << " / " << review.warnings.front();
        EXPECT_TRUE(Mentions(review.warnings, "write [答案]")) << written;
        EXPECT_TRUE(Mentions(review.warnings, "line 1: question 1 has no [答案]")) << written;
    }
    // A whole bank written with English markers has no question at all.
    const auto english =
        ReviewBankBytes("[Question]\nQ\n[Answer]\nA\n", Cleaning::CollapseThenTrimLines);
    EXPECT_EQ(english.bank.count(), 0);
    EXPECT_TRUE(Mentions(english.warnings, "line 1: \"[Question]\""));
    EXPECT_TRUE(Mentions(english.warnings, "line 3: \"[Answer]\""));

    // Brackets that are no marker: a choice, a note, the markers themselves with text after them.
    const auto sound = ReviewBankBytes("[Note] a title\n[问题] Q\n[A] x\n[B] y\n[提示] none\n"
                                       "[答案] B\n[问题]\nQ2\n[答案]\n[not] a marker\n",
                                       Cleaning::CollapseThenTrimLines);
    EXPECT_TRUE(sound.warnings.empty()) << sound.warnings.front();
}

TEST_F(BankReviewTest, AnAnswerPaddedWithSpacesOrTabsIsNamedWithTheAnswerToWrite) {
    struct Case {
        const char* answer; // what follows "[答案]"
        int line;           // of the problem, 0 for none
        const char* problem;
    };
    const Case cases[] = {
        {"\nMars \n", 4, "question 1's answer has spaces or tabs after it"},
        {"\n\tMars\n", 4, "question 1's answer has spaces or tabs before it"},
        {"\n  Mars\t\n", 4, "question 1's answer has spaces or tabs around it"},
        {"\n\n\xE3\x80\x80Mars\n", 5, "before it"}, // an ideographic space
        {" Mars\t", 3, "after it"},
        {"\tMars", 3, "before it"},
        {"\nMars\n Venus\n", 5, "before it; write just \"Venus\", as viewers type it"},
        // Spaces between the marker and the answer on its line separate them.
        {" Mars\n", 0, nullptr},
        {"\nRed  planet\n\n", 0, nullptr},
    };
    for (const Case& c : cases) {
        const auto review = ReviewBankBytes(std::string("[问题]\nQ\n[答案]") + c.answer,
                                            Cleaning::CollapseThenTrimLines);
        if (c.problem == nullptr) {
            EXPECT_TRUE(review.warnings.empty()) << c.answer << " / " << review.warnings.front();
            continue;
        }
        ASSERT_EQ(review.warnings.size(), 1u) << c.answer;
        EXPECT_TRUE(review.warnings[0].starts_with("line " + std::to_string(c.line) + ": "))
            << review.warnings[0];
        EXPECT_NE(review.warnings[0].find(c.problem), std::string::npos) << review.warnings[0];
        EXPECT_NE(review.warnings[0].find("write just \""), std::string::npos)
            << review.warnings[0];
    }
}

TEST_F(BankReviewTest, BytesThePanelsCannotReadAreNamed) {
    // Undecodable bytes become replacement characters, as in the panels: the question still has
    // its answer.
    const auto invalid =
        ReviewBankBytes("[问题]\nQ\xC3(\n[答案]\nA\n", Cleaning::CollapseThenTrimLines);
    ASSERT_EQ(invalid.bank.count(), 1);
    EXPECT_EQ(invalid.bank.At(0)->answer, u"A");
    EXPECT_EQ(invalid.warnings.size(), 1u);
    EXPECT_TRUE(Mentions(invalid.warnings, "line 2: bytes that are not valid in code page 65001"));

    const auto utf16 =
        ReviewBankBytes(std::string("\xFF\xFE[\0?\x95]\0", 8), Cleaning::CollapseThenTrimLines);
    EXPECT_EQ(utf16.bank.count(), 0);
    EXPECT_TRUE(Mentions(utf16.warnings, "UTF-16"));

    const auto nul = ReviewBankBytes(std::string("[问题]\nQ\n[答案]A\0[问题]lost", 25),
                                     Cleaning::CollapseThenTrimLines);
    EXPECT_EQ(nul.bank.count(), 1);
    EXPECT_TRUE(Mentions(nul.warnings, "line 3: a NUL byte"));

    EXPECT_TRUE(Mentions(ReviewBankBytes("", Cleaning::CollapseThenTrimLines).warnings, "no text"));
    EXPECT_TRUE(Mentions(ReviewBankBytes("questions", Cleaning::CollapseThenTrimLines).warnings,
                         "no [问题]"));
}

// The program itself, on files that hold no question or are no bank at all.
class BankCommandTest : public ::testing::Test {
protected:
    BankCommandTest() {
        dir_ = std::filesystem::temp_directory_path() /
               ("askgame-bank-command-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    ~BankCommandTest() override { std::filesystem::remove_all(dir_); }

    int Run(const std::string& file, std::string& output) {
        const std::string log = (dir_ / "output.txt").string();
        const int status =
            std::system(("ASKGAME_ACP=65001 " + std::string(ASKGAME_RUNTIME_DIR) +
                         "/askgame-host bank --lcid 1033 '" + file + "' >" + log + " 2>&1")
                            .c_str());
        std::ifstream in(log);
        output.assign(std::istreambuf_iterator<char>(in), {});
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream((dir_ / name).string(), std::ios::binary) << bytes;
        return (dir_ / name).string();
    }

    std::filesystem::path dir_;
};

TEST_F(BankCommandTest, AFileWithoutQuestionsIsNeverShownAsTheSampleBank) {
    std::string output;
    for (const std::string& bytes :
         {std::string(), std::string("\xFF\xFEx\0", 4), std::string("no markers at all\n")}) {
        EXPECT_EQ(Run(Write("none.txt", bytes), output), host::kBankHasProblems) << output;
        EXPECT_NE(output.find("0 questions"), std::string::npos) << output;
        EXPECT_EQ(output.find("中国的首都"), std::string::npos) << output; // the sample bank's
    }
    EXPECT_EQ(Run(Write("one.txt", "[问题]\nQ\n[答案]\nA\n"), output), 0) << output;
    EXPECT_NE(output.find("1 question\n"), std::string::npos) << output;
}

TEST_F(BankCommandTest, NotesLeaveABankSoundAndEveryProblemFailsIt) {
    std::string output;
    EXPECT_EQ(Run(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/Ti_Ku_Yang_Li.txt", output), 0)
        << output;
    EXPECT_NE(output.find("Notes:\n  line 1: the text before the first [问题] (lines 1 to 3)"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("No problems.\n"), std::string::npos) << output;

    EXPECT_EQ(Run(Write("bom.txt", "\xEF\xBB\xBF[问题]\nQ\n[答案]\nA\n"), output), 0) << output;
    EXPECT_NE(output.find("Notes:\n  line 1: a UTF-8 byte-order mark"), std::string::npos)
        << output;

    // A bank with one of each problem, the way a new user might write it.
    EXPECT_EQ(Run(Write("problems.txt", "Title\n"
                                        "[问题]\nNo answer\n"
                                        "[问题]\nPlanet?\nA. Venus   B. Mars\n[答案]\nC\n"
                                        "[问题]\nMoon?\n[答案]\nLuna \n"
                                        "[Question]\nSun?\n[Answer]\nSol\n"),
                  output),
              host::kBankHasProblems)
        << output;
    for (const char* problem :
         {"Notes:\n  line 1: the text before", "Problems:\n", "  line 2: question 1 has no [答案]",
          "  line 8: question 2's answer \"C\" is none of its choices (A, B)",
          "  line 12: question 3's answer has spaces or tabs after it",
          "  line 13: \"[Question]\" is no marker", "  line 15: \"[Answer]\" is no marker"})
        EXPECT_NE(output.find(problem), std::string::npos) << problem << "\n" << output;
}

TEST_F(BankCommandTest, WhatIsNoBankIsRefusedAsThePanelsRefuseIt) {
    std::string output;
    EXPECT_EQ(Run("/dev/zero", output), host::kBankHasProblems) << output;
    EXPECT_NE(output.find("not a regular file"), std::string::npos) << output;
    EXPECT_NE(output.find("The panel said: [Quiz Show] This is not a regular file."),
              std::string::npos)
        << output;
    EXPECT_EQ(Run((dir_ / "missing.txt").string(), output), 66) << output;
}

} // namespace
