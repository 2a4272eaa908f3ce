#include "show/panel_view.h"

#include <gtest/gtest.h>

#include <memory>

#include "toolkit/UIlib.h"

namespace {

using DuiLib::CControlUI;

constexpr const char16_t* kSkin = uR"(<Window caption="Quiz" size="360,400">
  <VerticalLayout name="Panel">
    <Label text="题目 Question" textcolor="#FF112233" />
    <RichEdit name="Question" text="Who?" height="120" />
    <HorizontalLayout>
      <Edit name="EditNum" text=" 1" width="48" />
      <Button name="BtnGo" text="Go" tooltip="Go there" enabled="false" />
      <Text name="RightAnswerer" visible="false" />
    </HorizontalLayout>
    <Option name="OptShow" text="Show" selected="true" group="g" />
  </VerticalLayout>
</Window>)";

std::unique_ptr<CControlUI> Build(const char16_t* skin) {
    DuiLib::CDialogBuilder builder;
    return std::unique_ptr<CControlUI>(builder.Create(skin));
}

// The node whose id is `id`, walking the children by index.
const nlohmann::json* Node(const nlohmann::json& root, const std::string& id) {
    if (root.value("id", "") == id) return &root;
    if (!root.contains("children")) return nullptr;
    for (const auto& child : root["children"])
        if (const auto* found = Node(child, id)) return found;
    return nullptr;
}

TEST(PanelTreeJson, ShowsEveryControlWithItsKindTextAndState) {
    auto root = Build(kSkin);
    ASSERT_TRUE(root);
    const nlohmann::json tree = show::PanelTreeJson(*root);

    EXPECT_EQ(tree["kind"], "window");
    EXPECT_EQ(tree["caption"], "Quiz");
    EXPECT_EQ(tree["width"], 360);
    const nlohmann::json& panel = tree["children"][0];
    EXPECT_EQ(panel["kind"], "vertical");
    EXPECT_EQ(panel["name"], "Panel");
    ASSERT_EQ(panel["children"].size(), 4u);

    const auto* label = Node(tree, "0.0.0");
    ASSERT_TRUE(label);
    EXPECT_EQ((*label)["kind"], "label");
    EXPECT_FALSE(label->contains("name"));
    EXPECT_EQ((*label)["text"], "题目 Question");
    EXPECT_EQ((*label)["color"], "#112233");

    const auto* question = Node(tree, "0.0.1");
    EXPECT_EQ((*question)["kind"], "richedit");
    EXPECT_EQ((*question)["text"], "Who?");
    EXPECT_EQ((*question)["readonly"], false);
    EXPECT_EQ((*question)["height"], 120);

    EXPECT_EQ((*Node(tree, "0.0.2"))["kind"], "horizontal");
    EXPECT_EQ((*Node(tree, "0.0.2.0"))["kind"], "edit");
    EXPECT_EQ((*Node(tree, "0.0.2.0"))["text"], " 1");
    const auto* go = Node(tree, "0.0.2.1");
    EXPECT_EQ((*go)["kind"], "button");
    EXPECT_EQ((*go)["tooltip"], "Go there");
    EXPECT_EQ((*go)["enabled"], false);
    EXPECT_EQ((*go)["visible"], true);
    const auto* answerer = Node(tree, "0.0.2.2");
    EXPECT_EQ((*answerer)["kind"], "text");
    EXPECT_EQ((*answerer)["visible"], false);

    const auto* option = Node(tree, "0.0.3");
    EXPECT_EQ((*option)["kind"], "option");
    EXPECT_EQ((*option)["selected"], true);
    EXPECT_EQ((*option)["group"], "g");
    EXPECT_FALSE(option->contains("children"));
}

TEST(PanelTreeJson, TextThatIsNotValidUtf16StillMakesValidJson) {
    auto root = Build(u"<Label name=\"L\" />");
    ASSERT_TRUE(root);
    const char16_t broken[] = {u'a', 0xD800, u'b', 0};
    root->SetText(broken);
    const std::string dumped = show::PanelTreeJson(*root).dump();
    EXPECT_EQ(nlohmann::json::parse(dumped)["text"], "a\xEF\xBF\xBD"
                                                     "b");
}

TEST(PanelView, VersionMovesOnlyWhenWhatThePageShowsChanges) {
    auto root = Build(kSkin);
    ASSERT_TRUE(root);
    show::PanelView view(root.get());
    EXPECT_EQ(view.Version(), 0u);
    EXPECT_TRUE(view.Refresh());
    EXPECT_FALSE(view.Refresh());
    EXPECT_EQ(view.Version(), 1u);

    auto* container = static_cast<DuiLib::CContainerUI*>(root->GetInterface(u"Container"));
    CControlUI* number = container->FindSubControl(u"EditNum");
    number->SetText(u" 2");
    EXPECT_TRUE(view.Refresh());
    EXPECT_EQ(view.Version(), 2u);
    EXPECT_EQ((*Node(view.Snapshot()["root"], "0.0.2.0"))["text"], " 2");

    // Setting the same text again is no change.
    number->SetText(u" 2");
    EXPECT_FALSE(view.Refresh());

    auto* option = static_cast<DuiLib::COptionUI*>(
        container->FindSubControl(u"OptShow")->GetInterface(u"Option"));
    option->Selected(false);
    container->FindSubControl(u"RightAnswerer")->SetVisible(true);
    EXPECT_TRUE(view.Refresh());
    EXPECT_EQ(view.Version(), 3u);
    const nlohmann::json snapshot = view.Snapshot();
    EXPECT_EQ(snapshot["version"], 3);
    EXPECT_EQ((*Node(snapshot["root"], "0.0.3"))["selected"], false);
    EXPECT_EQ((*Node(snapshot["root"], "0.0.2.2"))["visible"], true);
}

TEST(PanelTreeJson, ATreeDeeperThanTheCapIsCutNotFollowed) {
    auto root = std::make_unique<DuiLib::CContainerUI>();
    DuiLib::CContainerUI* innermost = root.get();
    for (int i = 0; i < show::kMaxPanelViewDepth + 10; ++i) {
        auto* child = new DuiLib::CContainerUI();
        ASSERT_TRUE(innermost->Add(child));
        innermost = child;
    }
    const nlohmann::json tree = show::PanelTreeJson(*root);
    int depth = 0;
    for (const nlohmann::json* node = &tree; !(*node)["children"].empty();
         node = &(*node)["children"][0])
        ++depth;
    EXPECT_EQ(depth, show::kMaxPanelViewDepth);
}

} // namespace
