// What both panels share: the tree built from a skin beside the library, lookup by name, the
// question numbers the presenter types and reads.
#include <gtest/gtest.h>

#include <climits>

#include "support/panel_harness.h"
#include "toolkit/UIlib.h"
#include "ui/panel_base.h"

namespace {

// The shared part alone, built from any skin file beside the library.
class BarePanel : public CPanelBase {
public:
    explicit BarePanel(std::u16string_view skin)
        : CPanelBase(skin,
                     {u"Question", u"RightAnswer", QuestionCleaning::TrimSpacesThenCollapse}) {}
    int InitPanel(int, int, IVideoEffect*, LPCWSTR, LPCWSTR, DWORD) override { return 1; }
    int BindControls() override { return 1; }
};

TEST(PanelConstruction, BuildsTheSkinBesideTheLibraryUnderTheNameGameList) {
    BarePanel panel(u"Skin\\freeAnwser.xml");
    EXPECT_EQ(panel.GetName(), u"GameList");
    EXPECT_EQ(panel.GetCount(), 1);
    DuiLib::CControlUI* edit = panel.FindControlByName(u"EditNum");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetName(), u"EditNum");
    EXPECT_EQ(panel.FindControlByName(u"editnum"), nullptr); // names match exactly
    EXPECT_EQ(panel.FindControlByName(u"NoSuchControl"), nullptr);
    EXPECT_EQ(panel.OnHostValues(-5, 12345), 1);
}

TEST(PanelConstruction, AMissingSkinLeavesAnEmptyPanelThatStillLoadsBanks) {
    const ScopedEnv acp("ASKGAME_ACP", "65001");
    BarePanel panel(u"Skin\\noSuchSkin.xml");
    EXPECT_EQ(panel.GetCount(), 0);
    EXPECT_EQ(panel.GetName(), u"");
    EXPECT_EQ(panel.FindControlByName(u"EditNum"), nullptr);

    const BankFiles files;
    const std::u16string bank = files.Write("b.txt", "[问题]Q[答案]A");
    panel.LoadQuestionBank(bank.c_str()); // no controls to fill: nothing breaks
    EXPECT_EQ(panel.GetQuestionBank().count(), 1);
}

TEST(QuestionNumbers, ReadLikeTheCRuntimeAndWriteTwoPlacesWide) {
    EXPECT_EQ(ParseQuestionNumber(u" 4"), 4);
    EXPECT_EQ(ParseQuestionNumber(u"\t12abc"), 12);
    EXPECT_EQ(ParseQuestionNumber(u"-3"), -3);
    EXPECT_EQ(ParseQuestionNumber(u"+7"), 7);
    EXPECT_EQ(ParseQuestionNumber(u"abc"), 0);
    EXPECT_EQ(ParseQuestionNumber(u""), 0);
    EXPECT_EQ(ParseQuestionNumber(u"99999999999999"), INT_MAX); // saturates, never wraps
    EXPECT_EQ(ParseQuestionNumber(u"-99999999999999"), INT_MIN);

    EXPECT_EQ(FormatQuestionNumber(1), u" 1");
    EXPECT_EQ(FormatQuestionNumber(12), u"12");
    EXPECT_EQ(FormatQuestionNumber(130), u"130");
    EXPECT_EQ(FormatQuestionCount(3), u"03");
    EXPECT_EQ(FormatQuestionCount(0), u"00");
    EXPECT_EQ(FormatQuestionCount(130), u"130");
}

} // namespace
