#include "show/panel_view.h"

#include <cstdio>
#include <string>

#include "platform/utf.h"
#include "toolkit/UIlib.h"

namespace show {

namespace {

using DuiLib::CControlUI;

struct KindName {
    const char16_t* interfaceName;
    const char* kind;
};

// Most derived first: an option is also a button, a rich edit also an edit, every text control
// also a label, the layouts also containers.
constexpr KindName kKinds[] = {
    {u"Option", "option"},
    {u"RichEdit", "richedit"},
    {u"Edit", "edit"},
    {u"Button", "button"},
    {u"Text", "text"},
    {u"Label", "label"},
    {u"VerticalLayout", "vertical"},
    {u"HorizontalLayout", "horizontal"},
    {u"Container", "container"},
};

const char* KindOf(CControlUI& control) {
    for (const KindName& k : kKinds)
        if (control.GetInterface(k.interfaceName)) return k.kind;
    return "control";
}

std::string Utf8(const DuiLib::CDuiString& text) {
    return Utf16ToUtf8(text.Str());
}

// "#RRGGBB" of a 0xAARRGGBB colour; the page draws text opaque.
std::string CssColour(DWORD colour) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%06X", static_cast<unsigned>(colour & 0xFFFFFFu));
    return buffer;
}

void AddCommon(CControlUI& control, const std::string& id, nlohmann::json& out) {
    out["id"] = id;
    if (!control.GetName().IsEmpty()) out["name"] = Utf8(control.GetName());
    out["text"] = Utf8(control.GetText());
    if (!control.GetToolTip().IsEmpty()) out["tooltip"] = Utf8(control.GetToolTip());
    out["enabled"] = control.IsEnabled();
    out["visible"] = control.IsVisible();
    if (control.GetFixedWidth() > 0) out["width"] = control.GetFixedWidth();
    if (control.GetFixedHeight() > 0) out["height"] = control.GetFixedHeight();
    if (const auto caption = control.GetCustomAttribute(u"caption"))
        out["caption"] = Utf16ToUtf8(caption);
}

void AddKindSpecific(CControlUI& control, const std::string& kind, nlohmann::json& out) {
    if (auto* label = static_cast<DuiLib::CLabelUI*>(control.GetInterface(u"Label"));
        label && label->GetTextColor() != 0)
        out["color"] = CssColour(label->GetTextColor());
    if (auto* edit = static_cast<DuiLib::CEditUI*>(control.GetInterface(u"Edit")))
        out["readonly"] = edit->IsReadOnly();
    if (kind == "option") {
        auto* option = static_cast<DuiLib::COptionUI*>(control.GetInterface(u"Option"));
        out["selected"] = option->IsSelected();
        if (!option->GetGroup().IsEmpty()) out["group"] = Utf8(option->GetGroup());
    }
}

nlohmann::json ControlJson(CControlUI& control, const std::string& id, int depth) {
    nlohmann::json out = nlohmann::json::object();
    std::string kind = KindOf(control);
    // The skin's outermost element is the panel's frame; it carries the caption.
    if (kind == "vertical" && control.GetCustomAttribute(u"caption")) kind = "window";
    out["kind"] = kind;
    AddCommon(control, id, out);
    AddKindSpecific(control, kind, out);
    auto* box =
        static_cast<DuiLib::IContainerUI*>(control.GetInterface(DuiLib::DUI_CTR_ICONTAINER));
    if (!box) return out;
    nlohmann::json children = nlohmann::json::array();
    if (depth < kMaxPanelViewDepth) {
        for (int i = 0; i < box->GetCount(); ++i)
            if (CControlUI* child = box->GetItemAt(i))
                children.push_back(ControlJson(*child, id + "." + std::to_string(i), depth + 1));
    }
    out["children"] = std::move(children);
    return out;
}

} // namespace

nlohmann::json PanelTreeJson(DuiLib::CControlUI& root) {
    return ControlJson(root, "0", 0);
}

bool PanelView::Refresh() {
    nlohmann::json now = root_ ? PanelTreeJson(*root_) : nlohmann::json();
    if (version_ > 0 && now == tree_) return false;
    tree_ = std::move(now);
    ++version_;
    return true;
}

nlohmann::json PanelView::Snapshot() const {
    return {{"version", version_}, {"root", tree_}};
}

} // namespace show
