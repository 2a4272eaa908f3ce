// Choosing the language, finding data files beside the host, and reading the host's profile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "platform/shell.h"
#include "ui/host_profile.h"
#include "ui/language_table.h"
#include "ui/localisation.h"

namespace {

namespace fs = std::filesystem;

TEST(LanguageChoice, OnlyTwentyFiftyTwoIsSimplifiedChinese) {
    struct Case {
        LCID lcid;
        std::u16string_view skin, file;
    } cases[] = {
        {2052, u"skin\\", u"ChineseSimplified.xml"},
        {1028, u"skinCht\\", u"ChineseTraditional.xml"},
        {3076, u"skinCht\\", u"ChineseTraditional.xml"},
        {4100, u"skinCht\\", u"ChineseTraditional.xml"}, // Singapore: not Simplified
        {1033, u"skinEn\\", u"English.xml"},
        {0, u"skinEn\\", u"English.xml"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetSkinFolder(c.lcid), c.skin) << c.lcid;
        EXPECT_EQ(GetLanguageFileName(c.lcid), c.file) << c.lcid;
    }
}

TEST(HostPaths, DataFilesLieBesideTheHostExecutable) {
    const std::u16string path = MakeHostRelativePath(u"VideoGames\\AskGame\\x.txt");
    const std::u16string exe = FromNativePath(fs::read_symlink("/proc/self/exe").string());
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.substr(0, exe.rfind(u'\\') + 1), exe.substr(0, exe.rfind(u'\\') + 1));
    EXPECT_TRUE(path.ends_with(u"\\VideoGames\\AskGame\\x.txt"));

    // A path that would not fit the system's 260-unit buffers is refused, never cut.
    EXPECT_EQ(MakeHostRelativePath(std::u16string(300, u'a')), u"");
}

TEST(HostPaths, ReplaceFileNameKeepsTheFolder) {
    std::u16string path = u"C:\\games\\askGame.cef";
    EXPECT_TRUE(ReplaceFileName(u"English.xml", path));
    EXPECT_EQ(path, u"C:\\games\\English.xml");

    std::u16string bare = u"askGame.cef";
    EXPECT_FALSE(ReplaceFileName(u"English.xml", bare));
    EXPECT_EQ(bare, u"askGame.cef");

    std::u16string folder = u"C:\\games\\";
    EXPECT_TRUE(ReplaceFileName(u"a.xml", folder));
    EXPECT_EQ(folder, u"C:\\games\\a.xml");

    std::u16string tooLong = u"C:\\" + std::u16string(200, u'd') + u"\\f";
    EXPECT_FALSE(ReplaceFileName(std::u16string(100, u'n'), tooLong));
    EXPECT_EQ(tooLong, u""); // nothing left that could open another file
}

// A temporary per-user configuration folder and system language for one test.
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::temp_directory_path() / ("askgame-profile-" + std::to_string(::getpid()));
        fs::remove_all(home_);
        fs::create_directories(home_);
        setenv("XDG_CONFIG_HOME", home_.c_str(), 1);
        setenv("ASKGAME_LCID", "1033", 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        unsetenv("ASKGAME_LCID");
        fs::remove_all(home_);
    }
    void WriteProfile(const std::string& xml) {
        const fs::path folder = home_ / "Velt" / "Zorvo";
        fs::create_directories(folder);
        std::ofstream(folder / "ZorvoProfile.xml") << xml;
    }
    fs::path home_;
};

TEST_F(ProfileTest, WithoutAProfileTheSystemLanguageHoldsAndTheFoldersAreMade) {
    EXPECT_EQ(GetProfileLCID(), 1033u);
    EXPECT_TRUE(fs::is_directory(home_ / "Velt" / "Zorvo"));
    EXPECT_TRUE(GetProfilePath().ends_with(u"\\Velt\\Zorvo\\ZorvoProfile.xml"));
}

TEST_F(ProfileTest, TheProfileLanguageIsReadAsAtoiReadsIt) {
    WriteProfile(R"(<Profile><Language LCID="2052"/></Profile>)");
    EXPECT_EQ(GetProfileLCID(), 2052u);
    WriteProfile(R"(<Profile><Language LCID=" 1028abc"/></Profile>)");
    EXPECT_EQ(GetProfileLCID(), 1028u);
    WriteProfile(R"(<Profile><Language LCID="0x0804"/></Profile>)");
    EXPECT_EQ(GetProfileLCID(), 0u); // hexadecimal is not read: English
    WriteProfile(R"(<Profile><Language/></Profile>)");
    EXPECT_EQ(GetProfileLCID(), 0u);
    WriteProfile(R"(<Profile><Other LCID="2052"/></Profile>)");
    EXPECT_EQ(GetProfileLCID(), 1033u); // no Language element: the system's
}

TEST_F(ProfileTest, AFolderThatCannotBeMadeFallsBackToTheSystemLanguage) {
    std::ofstream(home_ / "Velt") << "a file where the folder should be";
    EXPECT_EQ(GetProfileFolder(), u"");
    EXPECT_EQ(GetProfilePath(), u"");
    EXPECT_EQ(GetProfileLCID(), 1033u);
}

class LanguageTableTest : public ::testing::Test {
protected:
    std::u16string Write(const std::string& xml) {
        const fs::path file =
            fs::temp_directory_path() / ("askgame-lang-" + std::to_string(::getpid()) + ".xml");
        std::ofstream(file, std::ios::binary) << xml;
        files_.push_back(file);
        return FromNativePath(file.string());
    }
    void TearDown() override {
        for (const auto& f : files_)
            fs::remove(f);
    }
    std::vector<fs::path> files_;
};

TEST_F(LanguageTableTest, FirstOfDuplicateIdsWinsAndIdsAreCaseSensitive) {
    CLanguageTable table;
    ASSERT_TRUE(table.Load(Write(R"(<?xml version="1.0" encoding="UTF-8"?>
<language>
  <string ID="tipTitle">Quiz</string>
  <string ID="tipTitle">Second</string>
  <other ID="NoQue">not a string</other>
  <string ID="Amp">a &amp; b</string>
  <string ID="Empty"/>
</language>)")));
    EXPECT_EQ(table.GetString(u"tipTitle"), u"Quiz");
    EXPECT_EQ(table.GetString(u"TIPTITLE"), u"");
    EXPECT_EQ(table.GetString(u"NoQue"), u"");
    EXPECT_EQ(table.GetString(u"Amp"), u"a &amp; b"); // verbatim, not decoded
    EXPECT_EQ(table.GetString(u"Empty"), u"");
}

TEST_F(LanguageTableTest, AFailedLoadEmptiesTheTable) {
    CLanguageTable table;
    const std::u16string path = Write(R"(<language><string ID="a">A</string></language>)");
    ASSERT_TRUE(table.Load(path));
    EXPECT_EQ(table.GetString(u"a"), u"A");
    EXPECT_FALSE(table.Load(path + u".missing"));
    EXPECT_EQ(table.GetString(u"a"), u"");
    EXPECT_EQ(table.GetPath(), path); // the last file found stays remembered
}

TEST(LanguageFiles, EveryStringIdIsTranslatedInEveryLanguage) {
    const char16_t* ids[] = {u"tipTitle",      u"NoQue",          u"NeedPlayer",  u"PlayGroup",
                             u"RoundExceed",   u"FirstGroup",     u"SecondGroup", u"ThirdGroup",
                             u"correctAnswer", u"InputAnswerTip", u"ScoreList",   u"FirstScore",
                             u"SecondeScore",  u"ThirdScore",     u"ScoreAll",    u"congratitute",
                             u"BankTooLarge",  u"BankNotFile"};
    const std::u16string folder = FromNativePath(ASKGAME_SOURCE_DIR "/data/VideoGames/AskGame/");
    for (LCID lcid : {LCID{1033}, LCID{2052}, LCID{1028}}) {
        CLanguageTable table;
        ASSERT_TRUE(table.Load(folder + GetLanguageFileName(lcid))) << lcid;
        for (const char16_t* id : ids) {
            const std::u16string text = table.GetString(id);
            EXPECT_FALSE(text.empty()) << lcid << " lacks a string";
            // Texts are shown verbatim: an entity reference would reach the screen undecoded.
            EXPECT_EQ(text.find(u'&'), std::u16string::npos) << lcid;
        }
        // "%s%3d %s": a three-digit score would otherwise run into its label.
        for (const char16_t* id : {u"FirstScore", u"SecondeScore", u"ThirdScore"})
            EXPECT_TRUE(table.GetString(id).ends_with(u' ')) << lcid;
    }
}

} // namespace
