// Control trees: ownership, search by name, the paint manager, and what a person does to controls.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/UIlib.h"

namespace {

using namespace DuiLib;

// A control that counts how many of its kind are alive.
class CountedControl : public CControlUI {
public:
    explicit CountedControl(int& alive) : alive_(alive) { ++alive_; }
    ~CountedControl() override { --alive_; }

private:
    int& alive_;
};

CControlUI* Named(CControlUI* control, LPCTSTR name) {
    control->SetName(name);
    return control;
}

TEST(Container, DestroysItsChildrenWhenDestroyedOrEmptied) {
    int alive = 0;
    {
        CVerticalLayoutUI panel;
        auto* row = new CHorizontalLayoutUI;
        panel.Add(row);
        row->Add(new CountedControl(alive));
        row->Add(new CountedControl(alive));
        panel.Add(new CountedControl(alive));
        EXPECT_EQ(alive, 3);

        EXPECT_TRUE(panel.Remove(panel.GetItemAt(1)));
        EXPECT_EQ(alive, 2);
        EXPECT_EQ(panel.GetCount(), 1);
        EXPECT_FALSE(panel.RemoveAt(5));
    }
    EXPECT_EQ(alive, 0);

    CContainerUI box;
    box.Add(new CountedControl(alive));
    box.RemoveAll();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(box.GetCount(), 0);
}

TEST(Container, RefusesControlsThatWouldBeOwnedTwiceOrOwnThemselves) {
    CContainerUI outer;
    auto* inner = new CContainerUI;
    ASSERT_TRUE(outer.Add(inner));
    auto* leaf = new CLabelUI;
    ASSERT_TRUE(inner->Add(leaf));

    EXPECT_FALSE(outer.Add(nullptr));
    EXPECT_FALSE(outer.Add(leaf));    // already held by `inner`
    EXPECT_FALSE(outer.Add(&outer));  // itself
    EXPECT_FALSE(inner->Add(&outer)); // its own ancestor
    EXPECT_EQ(outer.GetCount(), 1);
    EXPECT_EQ(leaf->GetParent(), inner);
    EXPECT_EQ(inner->GetItemIndex(leaf), 0);
}

class NamedTree : public ::testing::Test {
protected:
    void SetUp() override {
        auto* row = new CHorizontalLayoutUI;
        panel_.Add(row);
        row->Add(Named(new CEditUI, u"EditNum"));
        auto* deeper = new CContainerUI;
        row->Add(deeper);
        deeper->Add(Named(new CButtonUI, u"BtnGo"));
        panel_.Add(Named(new CButtonUI, u"BtnGo")); // a later namesake
        panel_.SetName(u"GameList");
    }
    CVerticalLayoutUI panel_;
};

TEST_F(NamedTree, FindsTheFirstMatchInDocumentOrderAndNullWhenAbsent) {
    CControlUI* go = panel_.FindSubControl(u"BtnGo");
    ASSERT_NE(go, nullptr);
    EXPECT_EQ(go->GetParent()->GetParent(), panel_.GetItemAt(0)); // the nested one, found first
    EXPECT_EQ(panel_.FindSubControl(u"GameList"), &panel_);
    EXPECT_EQ(panel_.FindSubControl(u"btngo"), nullptr); // names compare exactly
    EXPECT_EQ(panel_.FindSubControl(u"Missing"), nullptr);
}

TEST_F(NamedTree, SearchFlagsSkipHiddenAndDisabledBranches) {
    panel_.GetItemAt(0)->SetVisible(false);
    CControlUI* visible =
        panel_.FindControl(FindControlByNameProc, (void*)u"BtnGo", UIFIND_VISIBLE);
    EXPECT_EQ(visible, panel_.GetItemAt(1));
    EXPECT_EQ(panel_.FindControl(FindControlByNameProc, (void*)u"EditNum", UIFIND_VISIBLE),
              nullptr);
    EXPECT_NE(panel_.FindControl(FindControlByNameProc, (void*)u"EditNum", UIFIND_ALL), nullptr);
}

// A host-side listener that records every notification the manager delivers.
struct Listener : INotifyUI {
    void Notify(TNotifyUI& msg) override { seen.push_back({msg.sType, msg.pSender}); }
    std::vector<std::pair<CDuiString, CControlUI*>> seen;
};

TEST_F(NamedTree, AnAttachedTreeAnswersItsManagerAndDeliversNotifications) {
    CPaintManagerUI manager;
    manager.Init(reinterpret_cast<HWND>(0x42));
    ASSERT_TRUE(manager.AttachDialog(&panel_));
    Listener listener;
    manager.AddNotifier(&listener);

    auto* edit = static_cast<CEditUI*>(manager.FindControl(u"EditNum"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->GetManager(), &manager);
    EXPECT_EQ(edit->GetManager()->GetPaintWindow(), reinterpret_cast<HWND>(0x42));

    // A control added later joins the window too.
    auto* late = new COptionUI;
    panel_.Add(late);
    EXPECT_EQ(late->GetManager(), &manager);

    std::vector<CDuiString> typed;
    struct Typing {
        std::vector<CDuiString>* typed;
        bool OnNotify(void* param) {
            const auto* msg = static_cast<TNotifyUI*>(param);
            typed->push_back(msg->sType + u":" + msg->pSender->GetText());
            return true;
        }
    } typing{&typed};
    edit->OnNotify += MakeDelegate(&typing, &Typing::OnNotify);
    EXPECT_TRUE(edit->InputText(u"12"));
    EXPECT_EQ(typed, std::vector<CDuiString>{u"textchanged:12"});
    ASSERT_EQ(listener.seen.size(), 1u);
    EXPECT_EQ(listener.seen[0].first, u"textchanged");
    EXPECT_EQ(listener.seen[0].second, edit);

    manager.SendNotify(&panel_, u"GameNotify");
    EXPECT_EQ(listener.seen.back().first, u"GameNotify");
    manager.RemoveNotifier(&listener);
}

TEST(PaintManager, ForgetsARootDestroyedBeforeIt) {
    CPaintManagerUI manager;
    {
        CContainerUI panel;
        manager.AttachDialog(&panel);
        EXPECT_EQ(manager.GetRoot(), &panel);
    }
    EXPECT_EQ(manager.GetRoot(), nullptr);
    EXPECT_EQ(manager.FindControl(u"anything"), nullptr);
}

TEST(PaintManager, ATreeMayOutliveTheManagerItWasBuiltFor) {
    std::unique_ptr<CControlUI> panel;
    {
        CPaintManagerUI manager;
        CDialogBuilder builder;
        panel.reset(
            builder.Create(u"<Container><Button/></Container>", nullptr, nullptr, &manager));
        ASSERT_NE(panel, nullptr);
        EXPECT_EQ(panel->GetManager(), &manager);
    }
    panel.reset(); // must not reach into the manager that is gone
}

TEST(PaintManager, InstancePathIsTheInstanceFolderWithABackslash) {
    const HINSTANCE previous = CPaintManagerUI::GetInstance();
    CPaintManagerUI::SetInstance(nullptr); // the executable
    const CDuiString folder = CPaintManagerUI::GetInstancePath();
    EXPECT_TRUE(folder.Str().ends_with(u"\\bin\\")) << folder.GetLength();
    CPaintManagerUI::SetInstance(previous);

    const CDuiString before = CPaintManagerUI::GetResourcePath();
    CPaintManagerUI::SetResourcePath((folder + u"skinEn").GetData());
    EXPECT_EQ(CPaintManagerUI::GetResourcePath(), folder + u"skinEn\\");
    CPaintManagerUI::SetResourcePath(before);
}

TEST(PersonActions, OnlyVisibleEnabledControlsRespond) {
    int clicks = 0;
    struct Counter {
        int* clicks;
        bool OnNotify(void*) { return ++*clicks, true; }
    } counter{&clicks};
    CButtonUI button;
    button.OnNotify += MakeDelegate(&counter, &Counter::OnNotify);
    EXPECT_TRUE(button.Activate());
    button.SetEnabled(false);
    EXPECT_FALSE(button.Activate());
    button.SetEnabled(true);
    button.SetVisible(false);
    EXPECT_FALSE(button.Activate());
    EXPECT_EQ(clicks, 1);

    CEditUI edit;
    edit.SetReadOnly(true);
    EXPECT_FALSE(edit.InputText(u"typed"));
    EXPECT_EQ(edit.GetText(), u"");
    edit.SetText(u"set by code"); // code may always write
    EXPECT_EQ(edit.GetText(), u"set by code");
}

TEST(PersonActions, OptionsToggleAndRadioGroupsKeepOneSelected) {
    CVerticalLayoutUI panel;
    auto* show = new COptionUI;
    auto* red = new COptionUI;
    auto* blue = new COptionUI;
    for (COptionUI* option : {show, red, blue})
        panel.Add(option);
    red->SetGroup(u"colour");
    blue->SetGroup(u"colour");

    std::vector<std::string> changes;
    struct Watcher {
        std::vector<std::string>* changes;
        const char* name;
        bool OnNotify(void* param) {
            const auto* msg = static_cast<TNotifyUI*>(param);
            const auto* option = static_cast<COptionUI*>(msg->pSender);
            changes->push_back(std::string(name) + (option->IsSelected() ? "+" : "-"));
            return true;
        }
    } watchShow{&changes, "show"}, watchRed{&changes, "red"}, watchBlue{&changes, "blue"};
    show->OnNotify += MakeDelegate(&watchShow, &Watcher::OnNotify);
    red->OnNotify += MakeDelegate(&watchRed, &Watcher::OnNotify);
    blue->OnNotify += MakeDelegate(&watchBlue, &Watcher::OnNotify);

    show->Activate();
    show->Activate();
    show->Selected(false); // already clear: nothing is sent
    red->Activate();
    blue->Activate();
    blue->Activate(); // a selected radio button stays selected
    EXPECT_EQ(changes, (std::vector<std::string>{"show+", "show-", "red+", "red-", "blue+"}));
    EXPECT_TRUE(blue->IsSelected());
    EXPECT_FALSE(red->IsSelected());
}

} // namespace
