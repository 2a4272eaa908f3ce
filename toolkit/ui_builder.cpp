#include "toolkit/ui_builder.h"

#include <pugixml.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/utf.h"
#include "toolkit/ui_container.h"
#include "toolkit/ui_controls.h"
#include "toolkit/ui_manager.h"

namespace DuiLib {

namespace {

// A skin file larger than this is no skin.
constexpr long kMaxSkinFileBytes = 16L << 20;

template <class T>
CControlUI* Make() {
    return new T;
}

struct KnownElement {
    const char* name;
    CControlUI* (*make)();
};

constexpr KnownElement kKnownElements[] = {
    {"Window", Make<CVerticalLayoutUI>},
    {"VerticalLayout", Make<CVerticalLayoutUI>},
    {"HorizontalLayout", Make<CHorizontalLayoutUI>},
    {"Container", Make<CContainerUI>},
    {"Control", Make<CControlUI>},
    {"Label", Make<CLabelUI>},
    {"Text", Make<CTextUI>},
    {"Button", Make<CButtonUI>},
    {"Edit", Make<CEditUI>},
    {"RichEdit", Make<CRichEditUI>},
    {"Option", Make<COptionUI>},
};

std::u16string Wide(const char* utf8) {
    return Utf8ToUtf16(utf8 ? utf8 : "");
}

bool HasChildElements(const pugi::xml_node& node) {
    return static_cast<bool>(node.find_child(
        [](const pugi::xml_node& child) { return child.type() == pugi::node_element; }));
}

CControlUI* MakeControl(const pugi::xml_node& node, IDialogBuilderCallback* callback) {
    for (const auto& known : kKnownElements)
        if (std::string_view(node.name()) == known.name) return known.make();
    if (callback)
        if (CControlUI* custom = callback->CreateControl(Wide(node.name()).c_str())) return custom;
    return HasChildElements(node) ? new CContainerUI : new CControlUI;
}

void ApplyAttributes(CControlUI& control, const pugi::xml_node& node) {
    for (const pugi::xml_attribute& attribute : node.attributes())
        control.SetAttribute(Wide(attribute.name()).c_str(), Wide(attribute.value()).c_str());
}

bool LooksLikeXmlText(std::u16string_view text) {
    const size_t first = text.find_first_not_of(u" \t\r\n\uFEFF");
    return first != std::u16string_view::npos && text[first] == u'<';
}

// The whole file, or nothing when it cannot be read or is too large to be a skin.
std::optional<std::string> ReadSkinFile(const std::u16string& path) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(_wfopen(path.c_str(), u"rb"), std::fclose);
    if (!file) return std::nullopt;
    if (std::fseek(file.get(), 0, SEEK_END) != 0) return std::nullopt;
    const long size = std::ftell(file.get());
    if (size < 0 || size > kMaxSkinFileBytes || std::fseek(file.get(), 0, SEEK_SET) != 0)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) return std::nullopt;
    return bytes;
}

bool IsFullPath(std::u16string_view path) {
    return path.starts_with(u"\\") || (path.size() > 1 && path[1] == u':');
}

} // namespace

CControlUI* CDialogBuilder::Create(LPCTSTR xml, LPCTSTR /*type*/, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    error_.Empty();
    const std::u16string_view source = xml ? std::u16string_view(xml) : std::u16string_view();
    if (source.empty()) {
        error_ = u"no skin";
        return nullptr;
    }

    pugi::xml_document document;
    pugi::xml_parse_result parsed;
    if (LooksLikeXmlText(source)) {
        const std::string utf8 = Utf16ToUtf8(source);
        parsed = document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default,
                                      pugi::encoding_utf8);
    } else {
        const std::u16string path =
            IsFullPath(source) ? std::u16string(source)
                               : CPaintManagerUI::GetResourcePath().Str() + std::u16string(source);
        const std::optional<std::string> bytes = ReadSkinFile(path);
        if (!bytes) {
            error_ = CDuiString(u"cannot read the skin file ") + path.c_str();
            return nullptr;
        }
        parsed = document.load_buffer(bytes->data(), bytes->size());
    }
    if (!parsed) {
        error_ = CDuiString(Wide(parsed.description()));
        return nullptr;
    }
    const pugi::xml_node rootNode = document.document_element();
    if (!rootNode) {
        error_ = u"no element";
        return nullptr;
    }

    // Built breadth-first with an explicit list, so nesting depth costs no stack. Each element's
    // children are added in document order when the element is taken from the list.
    std::unique_ptr<CControlUI> root(MakeControl(rootNode, callback));
    ApplyAttributes(*root, rootNode);
    struct Pending {
        pugi::xml_node node;
        CControlUI* control;
        int depth;
    };
    std::vector<Pending> pending{{rootNode, root.get(), 1}};
    while (!pending.empty()) {
        const Pending item = pending.back();
        pending.pop_back();
        auto* box = static_cast<IContainerUI*>(item.control->GetInterface(DUI_CTR_ICONTAINER));
        if (!box) continue; // a leaf control ignores what its element holds
        for (const pugi::xml_node& childNode : item.node.children()) {
            if (childNode.type() != pugi::node_element) continue;
            if (item.depth >= kMaxDepth) {
                error_ = u"skin nested too deep";
                return nullptr;
            }
            CControlUI* child = MakeControl(childNode, callback);
            if (!box->Add(child)) {
                delete child;
                continue;
            }
            ApplyAttributes(*child, childNode);
            pending.push_back({childNode, child, item.depth + 1});
        }
    }

    CControlUI* built = root.release();
    if (parent)
        if (auto* container = static_cast<IContainerUI*>(parent->GetInterface(DUI_CTR_ICONTAINER)))
            container->Add(built);
    if (manager) built->SetManager(manager, built->GetParent());
    return built;
}

} // namespace DuiLib
