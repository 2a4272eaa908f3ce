// The host's own look at a question bank: what a presenter is warned about before the show.
#include <gtest/gtest.h>

#include "host/bank_check.h"

namespace {

bool Mentions(const std::vector<std::string>& warnings, const std::string& text) {
    for (const auto& w : warnings)
        if (w.find(text) != std::string::npos) return true;
    return false;
}

TEST(BankScan, CleanBankHasEntriesAndNoWarnings) {
    const auto scan = host::ScanBankText(
        u"[问题]\n一年有几个月？\n[答案]\n12\n[问题]\nRed planet?\n[答案]\nMars\n");
    EXPECT_TRUE(scan.warnings.empty());
    ASSERT_EQ(scan.blocks.size(), 2u);
    EXPECT_EQ(scan.blocks[0].question, u"一年有几个月？");
    EXPECT_EQ(scan.blocks[1].answer, u"Mars");
    EXPECT_EQ(scan.blocks[1].line, 5);
}

TEST(BankScan, WarnsAboutWhatTheLoaderWouldMishandle) {
    const auto scan = host::ScanBankText(u"intro text\n"
                                         u"[问题]\nno answer here\n"
                                         u"[问题]\nQ\n[答案]\nA\n[答案]\nB\n"
                                         u"[问题]\n\n[答案]\n  \n");
    EXPECT_TRUE(Mentions(scan.warnings, "before the first [问题]"));
    EXPECT_TRUE(Mentions(scan.warnings, "line 2: question 1 has no [答案]"));
    EXPECT_TRUE(Mentions(scan.warnings, "question 2 has a second [答案] (line 8)"));
    EXPECT_TRUE(Mentions(scan.warnings, "question 3 has an empty answer"));
    EXPECT_TRUE(Mentions(scan.warnings, "question 3 has an empty question"));
    EXPECT_EQ(scan.blocks.size(), 3u);
}

TEST(BankScan, TextWithoutMarkersOrWithoutText) {
    EXPECT_TRUE(Mentions(host::ScanBankText(u"just a list of questions").warnings, "no [问题]"));
    EXPECT_TRUE(Mentions(host::ScanBankText(u"").warnings, "no text"));
}

TEST(BankScan, DecodingFollowsTheCodePageAndTextMode) {
    std::vector<std::string> warnings;
    const std::string utf8 = "[问题]\r\nQ\r\n[答案]\r\nA";
    EXPECT_EQ(host::DecodeBankBytes(utf8, "UTF-8", warnings), u"[问题]\nQ\n[答案]\nA");
    EXPECT_TRUE(warnings.empty());

    const std::string gbk = "\x5B\xCE\xCA\xCC\xE2\x5D"; // "[问题]" in code page 936
    EXPECT_EQ(host::DecodeBankBytes(gbk, "GBK", warnings), u"[问题]");

    host::DecodeBankBytes(std::string("ab\ncd\0ef", 8), "UTF-8", warnings);
    EXPECT_TRUE(Mentions(warnings, "line 2: a NUL byte"));
    host::DecodeBankBytes("\xFF\xFE[\0", "UTF-8", warnings);
    EXPECT_TRUE(Mentions(warnings, "UTF-16"));
    host::DecodeBankBytes("ok\n\xC3(", "UTF-8", warnings);
    EXPECT_TRUE(Mentions(warnings, "line 2: not valid UTF-8"));
}

} // namespace
