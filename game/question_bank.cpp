#include "game/question_bank.h"

#include <climits>

#include "platform/codepage.h"

namespace {

constexpr std::u16string_view kDoubleLineFeed = u"\n\n";

// Trims every unit of `set` from both ends. A text made only of such units becomes empty.
std::u16string_view Trim(std::u16string_view text, std::u16string_view set) {
    const auto first = text.find_first_not_of(set);
    if (first == std::u16string_view::npos) return {};
    const auto last = text.find_last_not_of(set);
    return text.substr(first, last - first + 1);
}

std::u16string_view TrimLines(std::u16string_view text) {
    return Trim(text, u" \r\n");
}

std::u16string_view TrimSpaces(std::u16string_view text) {
    return Trim(text, u" ");
}

// Replaces the first double LF by a single one; later pairs stay.
std::u16string CollapseFirstDoubleLineFeed(std::u16string_view text) {
    std::u16string result(text);
    const auto pair = result.find(kDoubleLineFeed);
    if (pair != std::u16string::npos) result.erase(pair, 1);
    return result;
}

std::u16string CleanQuestion(std::u16string_view raw, QuestionCleaning cleaning) {
    if (cleaning == QuestionCleaning::CollapseThenTrimLines) {
        const std::u16string collapsed = CollapseFirstDoubleLineFeed(raw);
        return std::u16string(TrimLines(collapsed));
    }
    return CollapseFirstDoubleLineFeed(TrimSpaces(raw));
}

QuestionEntry MakeEntry(std::u16string_view block, QuestionCleaning cleaning) {
    const auto marker = block.find(kAnswerMarker);
    if (marker == std::u16string_view::npos) return {CleanQuestion(block, cleaning), {}};
    const std::u16string_view rawAnswer = block.substr(marker + kAnswerMarker.size());
    return {CleanQuestion(block.substr(0, marker), cleaning), std::u16string(TrimLines(rawAnswer))};
}

// A text-mode read on Windows turns each CR LF pair into LF; a lone CR stays.
void ReadCrLfAsLf(std::string& bytes) {
    std::size_t out = 0;
    for (std::size_t in = 0; in < bytes.size(); ++in) {
        if (bytes[in] == '\r' && in + 1 < bytes.size() && bytes[in + 1] == '\n') continue;
        bytes[out++] = bytes[in];
    }
    bytes.resize(out);
}

} // namespace

void QuestionBank::Parse(std::u16string_view text, QuestionCleaning cleaning) {
    entries_.clear();
    auto start = text.find(kQuestionMarker);
    // Each block is cut by position, never by copying the rest of the text, so a bank of any
    // size loads in time linear in its size.
    while (start != std::u16string_view::npos &&
           entries_.size() < static_cast<std::size_t>(INT_MAX)) {
        start += kQuestionMarker.size();
        const auto next = text.find(kQuestionMarker, start);
        const std::u16string_view block = next == std::u16string_view::npos
                                              ? text.substr(start)
                                              : text.substr(start, next - start);
        entries_.push_back(MakeEntry(block, cleaning));
        start = next;
    }
}

void QuestionBank::Clear() {
    entries_.clear();
}

const QuestionEntry* QuestionBank::At(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return &entries_[static_cast<std::size_t>(index)];
}

std::u16string DecodeQuestionBankBytes(std::string bytes) {
    const auto nul = bytes.find('\0');
    if (nul != std::string::npos) bytes.resize(nul);
    // Skipped in every code page: in GBK its last byte would pair with the "[" of a first
    // "[问题]" and lose that question.
    if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.erase(0, kUtf8ByteOrderMark.size());
    ReadCrLfAsLf(bytes);
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
    const int length = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0) return {};
    std::u16string text(static_cast<std::size_t>(units), u'\0');
    const int written = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, text.data(), units);
    text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return text;
}

QuestionBankText ReadQuestionBankText(LPCWSTR path) {
    QuestionBankText result;
    std::string bytes;
    result.status = ReadRegularFile(path, kMaxQuestionBankBytes, bytes);
    if (result.status == FileReadStatus::Ok)
        result.text = DecodeQuestionBankBytes(std::move(bytes));
    return result;
}
