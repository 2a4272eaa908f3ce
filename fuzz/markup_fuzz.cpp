// Feeds arbitrary bytes to the markup reader as if they were a file, then walks every element
// with every navigation call and reads every element's name, attributes and content.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "markup/markup_document.h"

namespace {

// Reads what a caller can read at the main position, and tries the child searches.
void Touch(CMarkupDocument& doc) {
    (void)doc.GetTagName();
    (void)doc.GetContent();
    for (std::u16string_view name : {u"a", u"ID", u"encoding", u""})
        (void)doc.GetAttribute(name);
    (void)doc.FindChildElement(u"a");
    (void)doc.FindChildElement();
}

// Depth first over the whole tree, by navigation only: in, along, and back out.
std::size_t Walk(CMarkupDocument& doc) {
    std::size_t depth = 0, visited = 0;
    doc.ResetMainPosition();
    for (;;) {
        if (doc.FindElement()) {
            Touch(doc);
            ++visited;
            FUZZ_CHECK(doc.EnterElement());
            doc.ResetMainPosition();
            ++depth;
        } else if (depth > 0 && doc.LeaveElement()) {
            --depth;
        } else {
            break;
        }
    }
    doc.ResetMainPosition();
    (void)doc.FindElement(u"a");
    (void)doc.FindChildElement(u"b");
    (void)doc.EnterElement();
    (void)doc.LeaveElement();
    (void)doc.LeaveElement();
    return visited;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CMarkupDocument doc;
    doc.LoadBytes(std::string_view(reinterpret_cast<const char*>(data), size));
    // Navigation holds no state beyond the positions: a second walk sees the same tree.
    const std::size_t first = Walk(doc);
    FUZZ_CHECK(Walk(doc) == first);
    (void)doc.GetResult();
    return 0;
}
