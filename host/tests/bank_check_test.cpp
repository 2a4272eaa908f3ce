// `askgame-host bank`: a presenter's look at a bank before the show, read exactly as the panels
// read it, with warnings for what would surprise them.
#include <gtest/gtest.h>

#include <unistd.h>

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
    const auto review = ReviewBankBytes("intro text\n"
                                        "[问题]\nno answer here\n"
                                        "[问题]\nQ\n[答案]\nA\n[答案]\nB\n"
                                        "[问题]\n\n[答案]\n  \n"
                                        "[问题]\nlone\rCR\n[答案]\nA\n",
                                        Cleaning::CollapseThenTrimLines);
    const auto& w = review.warnings;
    EXPECT_TRUE(Mentions(w, "line 1: the text before the first [问题] (up to line 2)"));
    EXPECT_TRUE(Mentions(w, "line 2: question 1 has no [答案]"));
    EXPECT_TRUE(Mentions(w, "line 4: question 2 has a second [答案]"));
    EXPECT_TRUE(Mentions(w, "line 10: question 3 has an empty answer"));
    EXPECT_TRUE(Mentions(w, "line 10: question 3 has an empty question"));
    EXPECT_TRUE(Mentions(w, "line 15: a lone carriage return"));
    EXPECT_EQ(review.bank.count(), 4);
    EXPECT_EQ(review.markerLines.size(), 4u);
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

TEST_F(BankCommandTest, WhatIsNoBankIsRefusedAsThePanelsRefuseIt) {
    std::string output;
    EXPECT_EQ(Run("/dev/zero", output), host::kBankHasProblems) << output;
    EXPECT_NE(output.find("not a regular file"), std::string::npos) << output;
    EXPECT_NE(output.find("The panel said: [Quiz Show] This is not a regular file."),
              std::string::npos)
        << output;
    EXPECT_EQ(Run((dir_ / "missing.txt").string(), output), 2) << output;
}

} // namespace
