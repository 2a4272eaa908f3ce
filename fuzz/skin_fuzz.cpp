// Skin text built into a control tree: the tree is sound (children know their parent, indexes
// stay in bounds, depth stays under the builder's limit) and every named control is found.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/utf.h"
#include "toolkit/UIlib.h"

namespace {

void CheckTree(DuiLib::CControlUI* root) {
    auto* top = dynamic_cast<DuiLib::CContainerUI*>(root);
    std::vector<std::pair<DuiLib::CControlUI*, int>> stack{{root, 1}};
    std::vector<std::u16string> names;
    while (!stack.empty()) {
        const auto [control, depth] = stack.back();
        stack.pop_back();
        FUZZ_CHECK(depth <= DuiLib::CDialogBuilder::kMaxDepth + 1);
        if (!control->GetName().Str().empty() && names.size() < 64)
            names.push_back(control->GetName().Str());
        auto* container = dynamic_cast<DuiLib::CContainerUI*>(control);
        if (!container) continue;
        const int count = container->GetCount();
        FUZZ_CHECK(count >= 0);
        FUZZ_CHECK(container->GetItemAt(count) == nullptr && container->GetItemAt(-1) == nullptr);
        for (int i = 0; i < count; ++i) {
            DuiLib::CControlUI* child = container->GetItemAt(i);
            FUZZ_CHECK(child != nullptr && child->GetParent() == control);
            stack.emplace_back(child, depth + 1);
        }
    }
    if (!top) return;
    for (const std::u16string& name : names) {
        DuiLib::CControlUI* found = top->FindControl(
            DuiLib::FindControlByNameProc, const_cast<char16_t*>(name.c_str()), DuiLib::UIFIND_ALL);
        FUZZ_CHECK(found != nullptr && found->GetName().Str() == name);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text that does not start with '<' is taken for a file name: keep the fuzzer to skin text.
    std::u16string text =
        u"<" + Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
    DuiLib::CDialogBuilder builder;
    std::unique_ptr<DuiLib::CControlUI> root(builder.Create(text.c_str()));
    if (!root) {
        FUZZ_CHECK(!builder.GetLastErrorMessage().Str().empty());
        return 0;
    }
    FUZZ_CHECK(builder.GetLastErrorMessage().Str().empty());
    FUZZ_CHECK(root->GetParent() == nullptr);
    CheckTree(root.get());
    return 0;
}
