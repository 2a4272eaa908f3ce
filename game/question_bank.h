// Question banks: plain text files of questions and answers, and the loaded bank a panel walks.
//
// A bank file is text in the system's ANSI code page. "[问题]" opens a question; within a
// question block, the first "[答案]" separates the question text from its answer. Text before
// the first "[问题]" is ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/file_read.h"
#include "platform/wintypes.h"

inline constexpr std::u16string_view kQuestionMarker = u"[问题]";
inline constexpr std::u16string_view kAnswerMarker = u"[答案]";

// One question of a bank. The question may hold inner line feeds (a question line followed by
// its choices, for example).
struct QuestionEntry {
    std::u16string question;
    std::u16string answer;
};

// How a question's raw text is cleaned; the two panels differ here. Answers are cleaned the same
// way for both: spaces, CRs and LFs trimmed from both ends.
enum class QuestionCleaning {
    // The first double LF becomes one LF, then spaces, CRs and LFs are trimmed from both ends.
    CollapseThenTrimLines,
    // Spaces only are trimmed from both ends (line feeds at the ends stay), then the first
    // double LF becomes one LF.
    TrimSpacesThenCollapse,
};

class QuestionBank {
public:
    // Replaces the bank with the questions of `text`, one entry per "[问题]" block in file order.
    // A block without "[答案]" is all question and has an empty answer. Linear in the text's size.
    void Parse(std::u16string_view text, QuestionCleaning cleaning);
    void Clear();

    int count() const { return static_cast<int>(entries_.size()); }
    // The entry at a 0-based index, or null outside 0 .. count - 1.
    const QuestionEntry* At(int index) const;

private:
    std::vector<QuestionEntry> entries_;
};

// A UTF-8 byte-order mark, which editors such as Notepad put at the start of a file they save as
// UTF-8. It is no text of the bank.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The largest bank file a panel reads. Real banks are a few megabytes at most; the cap keeps a
// wrong choice (a disk image, a device) from taking the presenter's machine down.
inline constexpr std::size_t kMaxQuestionBankBytes = 64u * 1024 * 1024;

// A bank file read and decoded: `text` is empty unless `status` is Ok.
struct QuestionBankText {
    FileReadStatus status = FileReadStatus::Missing;
    std::u16string text;
};

// The text of a bank file: its bytes up to the first NUL, without a UTF-8 byte-order mark at the
// start, CR LF read as LF (as a text-mode read gives them), decoded from the ANSI code page. Only a
// regular file of at most kMaxQuestionBankBytes is read; the status says why anything else gave no
// text.
QuestionBankText ReadQuestionBankText(LPCWSTR path);
// The same decoding for bytes already in memory. Bytes the code page cannot decode become
// U+FFFD, as the panels show them.
std::u16string DecodeQuestionBankBytes(std::string bytes);
