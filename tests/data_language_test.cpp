// The shipped language files: every string the games and panels look up, in all three languages.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <set>
#include <string>

namespace {

constexpr const char* kStringIds[] = {
    "tipTitle",     "NoQue",      "NeedPlayer",    "PlayGroup",      "RoundExceed", "FirstGroup",
    "SecondGroup",  "ThirdGroup", "correctAnswer", "InputAnswerTip", "ScoreList",   "FirstScore",
    "SecondeScore", "ThirdScore", "ScoreAll",      "congratitute"};

class LanguageFile : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        path_ = std::string(ASKGAME_SOURCE_DIR) + "/data/VideoGames/AskGame/" + GetParam();
        // Texts are read verbatim by the game, so the file is parsed without entity decoding.
        result_ = document_.load_file(
            path_.c_str(), (pugi::parse_default | pugi::parse_declaration) & ~pugi::parse_escapes,
            pugi::encoding_utf8);
    }
    std::string path_;
    pugi::xml_document document_;
    pugi::xml_parse_result result_;
};

TEST_P(LanguageFile, HoldsEveryStringIdOnceWithText) {
    ASSERT_TRUE(result_) << path_ << ": " << result_.description();
    const pugi::xml_node declaration = document_.first_child();
    ASSERT_EQ(declaration.type(), pugi::node_declaration);
    EXPECT_STREQ(declaration.attribute("encoding").value(), "utf-8");

    const pugi::xml_node language = document_.child("language");
    ASSERT_TRUE(language);
    std::multiset<std::string> ids;
    for (const pugi::xml_node& entry : language.children("string")) {
        ids.insert(entry.attribute("ID").value());
        // Plain characters only: no entity reference or CDATA marker would be decoded.
        const std::string text = entry.child_value();
        EXPECT_EQ(text.find('&'), std::string::npos) << entry.attribute("ID").value();
        EXPECT_FALSE(entry.first_child().type() == pugi::node_cdata);
    }
    for (const char* id : kStringIds) {
        EXPECT_EQ(ids.count(id), 1u) << GetParam() << " " << id;
        EXPECT_STRNE(language.find_child_by_attribute("string", "ID", id).child_value(), "")
            << GetParam() << " " << id;
    }
}

TEST_P(LanguageFile, ScoreLabelsLeaveRoomBeforeThePoints) {
    ASSERT_TRUE(result_);
    const pugi::xml_node language = document_.child("language");
    // "%s%3d %s": a three-digit score would otherwise run into its label.
    for (const char* id : {"FirstScore", "SecondeScore", "ThirdScore"}) {
        const std::string label =
            language.find_child_by_attribute("string", "ID", id).child_value();
        ASSERT_FALSE(label.empty());
        EXPECT_EQ(label.back(), ' ') << GetParam() << " " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageFile,
                         ::testing::Values("English.xml", "ChineseSimplified.xml",
                                           "ChineseTraditional.xml"),
                         [](const auto& info) {
                             std::string name = info.param;
                             return name.substr(0, name.find('.'));
                         });

} // namespace
