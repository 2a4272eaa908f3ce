// A language file's bytes loaded into a table: lookups never fail, and the first string of an
// id is the one found.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "markup/markup_document.h"
#include "ui/language_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CLanguageTable table;
    const bool wellFormed = table.LoadBytes(bytes);

    // The same document walked by hand: every id's first string is what the table answers.
    CMarkupDocument document;
    FUZZ_CHECK(document.LoadBytes(bytes) == wellFormed);
    document.ResetMainPosition();
    if (document.FindElement(u"language") && document.EnterElement()) {
        std::size_t visited = 0;
        while (document.FindElement(u"string") && ++visited < 10000) {
            const std::u16string id = document.GetAttribute(u"ID");
            const std::u16string text = table.GetString(id);
            if (text != document.GetContent()) {
                // Only an earlier string of the same id may have given another text.
                CMarkupDocument again;
                again.LoadBytes(bytes);
                again.ResetMainPosition();
                FUZZ_CHECK(again.FindElement(u"language") && again.EnterElement());
                bool earlier = false;
                while (!earlier && again.FindElement(u"string"))
                    earlier = again.GetAttribute(u"ID") == id && again.GetContent() == text;
                FUZZ_CHECK(earlier);
            }
        }
    }
    (void)table.GetString(u"");
    (void)table.GetString(u"tipTitle");
    FUZZ_CHECK(table.GetPath().empty());
    return 0;
}
