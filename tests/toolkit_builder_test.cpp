// The dialog builder: skin XML text in, control tree out, and nothing at all for a bad skin.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/file.h"
#include "toolkit/UIlib.h"

namespace {

using namespace DuiLib;

std::unique_ptr<CControlUI> Build(LPCTSTR xml, IDialogBuilderCallback* callback = nullptr) {
    CDialogBuilder builder;
    return std::unique_ptr<CControlUI>(builder.Create(xml, nullptr, callback));
}

TEST(DialogBuilder, UnusableSkinsBuildNothing) {
#ifdef _WIN32
    GTEST_SKIP() << "the Windows toolkit reads skins with the plug-in's markup reader, which "
                    "closes an element left open";
#endif
    const LPCTSTR unusable[] = {nullptr,
                                u"",
                                u"   ",
                                u"<Window><Button name=\"a\"></Window>",
                                u"<?xml version=\"1.0\"?><!-- only a comment -->",
                                u"not xml at all, and no such skin file"};
    for (LPCTSTR xml : unusable)
        EXPECT_EQ(Build(xml), nullptr);

    CDialogBuilder builder;
    EXPECT_EQ(builder.Create(u"<Window><Label></Window>"), nullptr);
    EXPECT_FALSE(builder.GetLastErrorMessage().IsEmpty());
}

TEST(DialogBuilder, BuildsTheTreeWithClassesAndAttributes) {
    const auto root =
        Build(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>"
              u"<Window size=\"360,430\" caption=\"自由答题\">"
              u"  <HorizontalLayout height=\"28\">"
              u"    <Label name=\"LabMaxNum\" text=\"07\" tooltip=\"count\"/>"
              u"    <RichEdit name=\"Question\" textcolor=\"#FF585F63\"/>"
              u"  </HorizontalLayout>"
              u"  <Option name=\"OptShowQuestion\" selected=\"true\" visible=\"false\"/>"
              u"  <Edit name=\"EditNum\" enabled=\"false\" text=\"&lt; 1\"/>"
              u"</Window>");
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(root->GetClass()),
                 reinterpret_cast<const char*>(u"VerticalLayoutUI"));
    EXPECT_EQ(root->GetFixedWidth(), 360);
    EXPECT_EQ(root->GetFixedHeight(), 430);
    EXPECT_EQ(CDuiString(root->GetCustomAttribute(u"caption")), u"自由答题");

    auto* panel = static_cast<CContainerUI*>(root->GetInterface(u"Container"));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->GetCount(), 3);
    auto* row = static_cast<CContainerUI*>(panel->GetItemAt(0)->GetInterface(u"Container"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->GetFixedHeight(), 28);

    CControlUI* count = panel->FindSubControl(u"LabMaxNum");
    EXPECT_EQ(count->GetText(), u"07");
    EXPECT_EQ(count->GetToolTip(), u"count");
    EXPECT_EQ(count->GetParent(), row);
    auto* question = static_cast<CRichEditUI*>(panel->FindSubControl(u"Question"));
    EXPECT_EQ(question->GetTextColor(), 0xFF585F63u);
    auto* option =
        static_cast<COptionUI*>(panel->FindSubControl(u"OptShowQuestion")->GetInterface(u"Option"));
    EXPECT_TRUE(option->IsSelected());
    EXPECT_FALSE(option->IsVisible());
    CControlUI* number = panel->FindSubControl(u"EditNum");
    EXPECT_FALSE(number->IsEnabled());
    EXPECT_EQ(number->GetText(), u"< 1"); // attribute values are decoded
}

// A host that builds its own control for one element name.
class SliderCallback : public IDialogBuilderCallback {
public:
    CControlUI* CreateControl(LPCTSTR className) override {
        if (CDuiString(className) != u"Slider") return nullptr;
        auto* slider = new CLabelUI;
        slider->AddCustomAttribute(u"made-by", u"host");
        return slider;
    }
};

TEST(DialogBuilder, UnknownElementsAreOfferedToTheCallbackThenBuiltPlain) {
    SliderCallback callback;
    const auto root = Build(u"<Panel><Slider name=\"s\"/><Gauge name=\"g\"/>"
                            u"<Group name=\"grp\"><Button name=\"b\"/></Group></Panel>",
                            &callback);
    ASSERT_NE(root, nullptr);
    auto* panel = static_cast<CContainerUI*>(root->GetInterface(u"Container"));
    ASSERT_NE(panel, nullptr); // has children: a container
    EXPECT_EQ(CDuiString(panel->FindSubControl(u"s")->GetCustomAttribute(u"made-by")), u"host");
    EXPECT_EQ(panel->FindSubControl(u"g")->GetInterface(u"IContainer"), nullptr);
    EXPECT_NE(panel->FindSubControl(u"grp")->GetInterface(u"IContainer"), nullptr);
    EXPECT_NE(panel->FindSubControl(u"b"), nullptr);
}

TEST(DialogBuilder, RefusesSkinsNestedBeyondItsLimit) {
    auto nested = [](int depth) {
        std::u16string xml;
        for (int i = 0; i < depth; ++i)
            xml += u"<Container>";
        for (int i = 0; i < depth; ++i)
            xml += u"</Container>";
        return xml;
    };
    EXPECT_NE(Build(nested(CDialogBuilder::kMaxDepth).c_str()), nullptr);
    EXPECT_EQ(Build(nested(CDialogBuilder::kMaxDepth + 1).c_str()), nullptr);
    EXPECT_EQ(Build(nested(100000).c_str()), nullptr);
}

TEST(DialogBuilder, AddsTheRootToAParentAndGivesItTheManager) {
    CPaintManagerUI manager;
    CContainerUI panel;
    CDialogBuilder builder;
    CControlUI* root = builder.Create(u"<VerticalLayout><Button name=\"BtnGo\"/></VerticalLayout>",
                                      nullptr, nullptr, &manager, &panel);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(panel.GetItemAt(0), root);
    EXPECT_EQ(panel.FindSubControl(u"BtnGo")->GetManager(), &manager);
}

TEST(DialogBuilder, FileNamesAreLookedUpInTheResourcePath) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("askgame-builder-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "panel.xml")
        << "\xEF\xBB\xBF<Window><Label name=\"L\" text=\"好\"/></Window>";

    const CDuiString previous = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath(FromNativePath(dir.string()).c_str());
    const auto root = Build(u"panel.xml");
    CPaintManagerUI::SetResourcePath(previous);
    std::filesystem::remove_all(dir);

    ASSERT_NE(root, nullptr);
    auto* panel = static_cast<CContainerUI*>(root->GetInterface(u"Container"));
    EXPECT_EQ(panel->FindSubControl(u"L")->GetText(), u"好");
}

} // namespace
