// The shipped skins: each panel's skin holds every control its panel finds by name, of the kind
// the panel uses it as, and each language's skin folder is usable as the resource path.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/utf.h"
#include "toolkit/UIlib.h"

namespace {

using namespace DuiLib;

std::u16string ReadUtf8(const std::string& relative) {
    std::ifstream in(std::string(ASKGAME_SOURCE_DIR) + "/data/" + relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return Utf8ToUtf16(bytes.str());
}

// What a panel does with a control decides the interface it needs.
enum class Kind { RichEdit, Edit, Text, Label, Button, Option };

LPCTSTR InterfaceOf(Kind kind) {
    switch (kind) {
    case Kind::RichEdit:
        return u"RichEdit";
    case Kind::Edit:
        return u"Edit";
    case Kind::Text:
        return u"Label"; // any control that shows a text line
    case Kind::Label:
        return u"Label";
    case Kind::Button:
        return u"Button";
    case Kind::Option:
        return u"Option";
    }
    return u"";
}

using Expected = std::vector<std::pair<LPCTSTR, Kind>>;

void ExpectSkinHolds(const char* file, const Expected& controls) {
    CDialogBuilder builder;
    std::unique_ptr<CControlUI> root(builder.Create(ReadUtf8(file).c_str()));
    ASSERT_NE(root, nullptr) << file << ": " << Utf16ToUtf8(builder.GetLastErrorMessage().Str());
    CContainerUI panel;
    panel.SetName(u"GameList");
    ASSERT_TRUE(panel.Add(root.release()));

    for (const auto& [name, kind] : controls) {
        CControlUI* control = panel.FindSubControl(name);
        ASSERT_NE(control, nullptr) << file << " lacks " << Utf16ToUtf8(name);
        EXPECT_NE(control->GetInterface(InterfaceOf(kind)), nullptr)
            << file << ": " << Utf16ToUtf8(name) << " is a " << Utf16ToUtf8(control->GetClass());
        EXPECT_TRUE(control->IsVisible() && control->IsEnabled()) << Utf16ToUtf8(name);
    }
}

TEST(Skins, FreeModePanelHoldsEveryNamedControl) {
    ExpectSkinHolds("Skin/freeAnwser.xml", {{u"Question", Kind::RichEdit},
                                            {u"RightAnswer", Kind::Text},
                                            {u"EditNum", Kind::Edit},
                                            {u"LabMaxNum", Kind::Label},
                                            {u"ButtonShowQue", Kind::Button},
                                            {u"BtnQuestions", Kind::Button},
                                            {u"BtnGo", Kind::Button},
                                            {u"BtnNextQue", Kind::Button},
                                            {u"BtnBackQue", Kind::Button},
                                            {u"BtnTextColor", Kind::Button},
                                            {u"OptShowQuestion", Kind::Option}});
}

TEST(Skins, ChallengePanelHoldsEveryNamedControl) {
    ExpectSkinHolds("Skin/challengeMode.xml", {{u"ChallengeQue", Kind::RichEdit},
                                               {u"ChallengeAnswer", Kind::Text},
                                               {u"EditNum", Kind::Text},
                                               {u"LabMaxNum", Kind::Text},
                                               {u"RightAnswerer", Kind::Text},
                                               {u"ButtonShowChallengQue", Kind::Button},
                                               {u"BtnQuestions", Kind::Button},
                                               {u"BtnGo", Kind::Button},
                                               {u"BtnNextQue", Kind::Button},
                                               {u"BtnBackQue", Kind::Button},
                                               {u"BtnTextColor", Kind::Button},
                                               {u"BtnNewRound", Kind::Button}});
}

TEST(Skins, EveryLanguageFolderServesAsTheResourcePath) {
    const CDuiString previous = CPaintManagerUI::GetResourcePath();
    const std::u16string data = FromNativePath(std::string(ASKGAME_SOURCE_DIR) + "/data/");
    for (const LPCTSTR folder : {u"skin\\", u"skinEn\\", u"skinCht\\"}) {
        CPaintManagerUI::SetResourcePath((data + folder).c_str());
        CDialogBuilder builder;
        std::unique_ptr<CControlUI> root(builder.Create(u"default.xml"));
        ASSERT_NE(root, nullptr) << Utf16ToUtf8(folder);
        auto* box = static_cast<CContainerUI*>(root->GetInterface(u"Container"));
        ASSERT_NE(box, nullptr);
        ASSERT_NE(box->FindSubControl(u"SkinName"), nullptr);
        EXPECT_FALSE(box->FindSubControl(u"SkinName")->GetText().IsEmpty());
    }
    CPaintManagerUI::SetResourcePath(previous);
}

} // namespace
