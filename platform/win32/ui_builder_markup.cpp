// The dialog builder over the plug-in's own markup reader (no XML library is built for
// Windows here; the real toolkit also reads its skins with a parser of its own).
//
// The reader answers attributes by name only, so the builder asks each element for the names a
// skin may carry: the properties controls understand and the custom ones the shipped skins use.
// An attribute given as the empty string reads like a missing one and is left at its default.
#include "toolkit/ui_builder.h"

#include <memory>
#include <string>
#include <string_view>

#include "markup/markup_document.h"
#include "toolkit/ui_container.h"
#include "toolkit/ui_controls.h"
#include "toolkit/ui_manager.h"

namespace DuiLib {

namespace {

constexpr std::u16string_view kSkinAttributes[] = {
    u"name",    u"text",    u"tooltip",      u"visible",  u"enabled",   u"width",
    u"height",  u"size",    u"textcolor",    u"readonly", u"selected",  u"group",
    u"bkcolor", u"caption", u"childpadding", u"font",     u"multiline", u"padding",
};

template <class T>
CControlUI* Make() {
    return new T;
}

struct KnownElement {
    std::u16string_view name;
    CControlUI* (*make)();
};

constexpr KnownElement kKnownElements[] = {
    {u"Window", Make<CVerticalLayoutUI>},
    {u"VerticalLayout", Make<CVerticalLayoutUI>},
    {u"HorizontalLayout", Make<CHorizontalLayoutUI>},
    {u"Container", Make<CContainerUI>},
    {u"Control", Make<CControlUI>},
    {u"Label", Make<CLabelUI>},
    {u"Text", Make<CTextUI>},
    {u"Button", Make<CButtonUI>},
    {u"Edit", Make<CEditUI>},
    {u"RichEdit", Make<CRichEditUI>},
    {u"Option", Make<COptionUI>},
};

bool LooksLikeXmlText(std::u16string_view text) {
    const size_t first = text.find_first_not_of(u" \t\r\n\uFEFF");
    return first != std::u16string_view::npos && text[first] == u'<';
}

bool IsFullPath(std::u16string_view path) {
    return path.starts_with(u"\\") || (path.size() > 1 && path[1] == u':');
}

// Builds controls for the main element of `document` and, depth first, its children. The
// document's positions come back as they were.
class SkinWalker {
public:
    SkinWalker(CMarkupDocument& document, IDialogBuilderCallback* callback, CDuiString& error)
        : document_(document), callback_(callback), error_(error) {}

    // The main element's control with its subtree; null (and error_ set) when too deep.
    std::unique_ptr<CControlUI> Build(int depth) {
        std::unique_ptr<CControlUI> control(MakeControl());
        ApplyAttributes(*control);
        auto* box = static_cast<IContainerUI*>(control->GetInterface(DUI_CTR_ICONTAINER));
        if (!box) return control; // a leaf control ignores what its element holds
        while (document_.FindChildElement()) {
            if (depth >= CDialogBuilder::kMaxDepth) {
                error_ = u"skin nested too deep";
                return nullptr;
            }
            document_.EnterElement();
            std::unique_ptr<CControlUI> child = Build(depth + 1);
            document_.LeaveElement();
            if (!child) return nullptr;
            if (box->Add(child.get())) child.release();
        }
        return control;
    }

private:
    CControlUI* MakeControl() {
        const std::u16string tag = document_.GetTagName();
        for (const auto& known : kKnownElements)
            if (tag == known.name) return known.make();
        if (callback_)
            if (CControlUI* custom = callback_->CreateControl(tag.c_str())) return custom;
        const bool hasChildren = document_.FindChildElement();
        if (hasChildren) {
            // Clears the child position again, so the walk starts at the first child.
            document_.EnterElement();
            document_.ResetMainPosition();
            document_.LeaveElement();
        }
        return hasChildren ? new CContainerUI : new CControlUI;
    }

    void ApplyAttributes(CControlUI& control) {
        for (const std::u16string_view name : kSkinAttributes) {
            const std::u16string value = document_.GetAttribute(name);
            if (!value.empty()) control.SetAttribute(std::u16string(name).c_str(), value.c_str());
        }
    }

    CMarkupDocument& document_;
    IDialogBuilderCallback* callback_;
    CDuiString& error_;
};

} // namespace

CControlUI* CDialogBuilder::Create(LPCTSTR xml, LPCTSTR /*type*/, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    error_.Empty();
    const std::u16string_view source = xml ? std::u16string_view(xml) : std::u16string_view();
    if (source.empty()) {
        error_ = u"no skin";
        return nullptr;
    }
    CMarkupDocument document;
    if (LooksLikeXmlText(source)) {
        document.SetDoc(source);
    } else {
        const std::u16string path =
            IsFullPath(source) ? std::u16string(source)
                               : CPaintManagerUI::GetResourcePath().Str() + std::u16string(source);
        if (!document.LoadFile(path) && document.GetDoc().empty()) {
            error_ = CDuiString(u"cannot read the skin file ") + path.c_str();
            return nullptr;
        }
    }
    document.ResetMainPosition();
    if (!document.FindElement()) {
        error_ = u"no element";
        return nullptr;
    }
    std::unique_ptr<CControlUI> root = SkinWalker(document, callback, error_).Build(1);
    if (!root) return nullptr;

    CControlUI* built = root.release();
    if (parent)
        if (auto* container = static_cast<IContainerUI*>(parent->GetInterface(DUI_CTR_ICONTAINER)))
            container->Add(built);
    if (manager) built->SetManager(manager, built->GetParent());
    return built;
}

} // namespace DuiLib
