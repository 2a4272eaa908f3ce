// A question bank file in one of several code pages (the first byte picks it), decoded as a
// panel decodes it and cut into entries with both panels' cleanings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_check.h"
#include "game/question_bank.h"

namespace {

constexpr const char* kCodePages[] = {"65001", "936", "950", "1252", "932", "949"};

std::size_t Count(std::u16string_view text, std::u16string_view marker) {
    std::size_t found = 0;
    for (auto at = text.find(marker); at != std::u16string_view::npos;
         at = text.find(marker, at + marker.size()))
        ++found;
    return found;
}

bool Trimmed(const std::u16string& text, std::u16string_view set) {
    return text.empty() || (set.find(text.front()) == std::u16string_view::npos &&
                            set.find(text.back()) == std::u16string_view::npos);
}

void CheckBank(std::u16string_view text, QuestionCleaning cleaning) {
    QuestionBank bank;
    bank.Parse(text, cleaning);
    // One entry per question marker, none lost, none invented.
    FUZZ_CHECK(static_cast<std::size_t>(bank.count()) == Count(text, kQuestionMarker));
    FUZZ_CHECK(bank.At(-1) == nullptr && bank.At(bank.count()) == nullptr);
    for (int i = 0; i < bank.count(); ++i) {
        const QuestionEntry* entry = bank.At(i);
        FUZZ_CHECK(entry != nullptr);
        // Markers separate texts; they never end up inside one (a second answer marker stays
        // in the answer, so only the question marker is excluded there).
        FUZZ_CHECK(entry->question.find(kQuestionMarker) == std::u16string::npos);
        FUZZ_CHECK(entry->question.find(kAnswerMarker) == std::u16string::npos);
        FUZZ_CHECK(entry->answer.find(kQuestionMarker) == std::u16string::npos);
        FUZZ_CHECK(Trimmed(entry->answer, u" \r\n"));
        if (cleaning == QuestionCleaning::CollapseThenTrimLines)
            FUZZ_CHECK(Trimmed(entry->question, u" \r\n"));
        else
            FUZZ_CHECK(Trimmed(entry->question, u" "));
        FUZZ_CHECK(entry->question.size() <= text.size() && entry->answer.size() <= text.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    setenv("ASKGAME_ACP", kCodePages[data[0] % std::size(kCodePages)], 1);
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::u16string text = DecodeQuestionBankBytes(bytes);
    // The text ends at the first NUL.
    FUZZ_CHECK(text.find(u'\0') == std::u16string::npos);
    CheckBank(text, QuestionCleaning::CollapseThenTrimLines);
    CheckBank(text, QuestionCleaning::TrimSpacesThenCollapse);
    return 0;
}
