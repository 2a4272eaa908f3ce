#include "host/bank_check.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "hosting/hosted_game.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf.h"

namespace host {

using namespace hosting;

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

// What may pad a line of a bank: spaces, tabs and the ideographic space of Chinese input methods.
constexpr std::u16string_view kPadding = u" \t\u3000";
// What may pad a bracketed marker-like word, and a line that holds one.
constexpr std::u16string_view kLinePadding = u" \t\u3000\r";
// What leaves a stretch of text blank.
constexpr std::u16string_view kBlank = u" \t\u3000\r\n";

// A choice is labelled with one of these letters (in either case), as the games take a
// one-letter answer as a choice: "A. Venus", "B、火星", "(C) Mars", "D) Earth".
constexpr std::u16string_view kChoiceLetters = u"ABCDEF";
constexpr std::u16string_view kChoiceOpeners = u"(\uFF08";
constexpr std::u16string_view kChoiceSeparators = u".\u3001\uFF0E)\uFF09:\uFF1A\u3002";

// A line starting with one of these words in brackets was meant as a marker. Words of one letter
// count only as a line of their own, for "[A] Venus" is a choice.
struct MarkerWord {
    std::u16string_view word; // ASCII letters in lower case
    std::u16string_view meant;
};
constexpr MarkerWord kMarkerWords[] = {
    {u"question", kQuestionMarker}, {u"q", kQuestionMarker},        {u"问题", kQuestionMarker},
    {u"問題", kQuestionMarker},     {u"题目", kQuestionMarker},     {u"題目", kQuestionMarker},
    {u"问", kQuestionMarker},       {u"問", kQuestionMarker},       {u"题", kQuestionMarker},
    {u"題", kQuestionMarker},       {u"質問", kQuestionMarker},     {u"질문", kQuestionMarker},
    {u"frage", kQuestionMarker},    {u"pregunta", kQuestionMarker}, {u"domanda", kQuestionMarker},
    {u"pergunta", kQuestionMarker}, {u"answer", kAnswerMarker},     {u"a", kAnswerMarker},
    {u"ans", kAnswerMarker},        {u"答案", kAnswerMarker},       {u"答", kAnswerMarker},
    {u"解答", kAnswerMarker},       {u"回答", kAnswerMarker},       {u"答え", kAnswerMarker},
    {u"정답", kAnswerMarker},       {u"답", kAnswerMarker},         {u"antwort", kAnswerMarker},
    {u"respuesta", kAnswerMarker},  {u"réponse", kAnswerMarker},    {u"reponse", kAnswerMarker},
    {u"risposta", kAnswerMarker},   {u"resposta", kAnswerMarker},
};
constexpr std::u16string_view kMarkerOpeners = u"[\u3010\uFF3B\u3014\u3016";
constexpr std::u16string_view kMarkerClosers = u"]\u3011\uFF3D\u3015\u3017";
// The longest bracketed text taken for a marker; longer ones are text in brackets.
constexpr std::size_t kMaxMarkerLength = 24;

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

std::string Quoted(std::u16string_view text) {
    return "\"" + Utf16ToUtf8(text) + "\"";
}

std::u16string_view Trim(std::u16string_view text, std::u16string_view set) {
    const auto first = text.find_first_not_of(set);
    if (first == std::u16string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(set) - first + 1);
}

int CountLineFeeds(std::u16string_view text) {
    return static_cast<int>(std::count(text.begin(), text.end(), u'\n'));
}

// Calls `visit(line, index)` for each line of `text` without its line feed, the first line
// having index 0.
template <typename Visit>
void ForEachLine(std::u16string_view text, Visit visit) {
    int index = 0;
    for (std::size_t start = 0;; ++index) {
        const auto end = text.find(u'\n', start);
        visit(text.substr(start, end == std::u16string_view::npos ? end : end - start), index);
        if (end == std::u16string_view::npos) return;
        start = end + 1;
    }
}

// Counts lines forward through a text, so that finding the line of each of many offsets in
// increasing order costs one pass in all.
class LineCounter {
public:
    explicit LineCounter(std::u16string_view text) : text_(text) {}
    int LineOf(std::size_t offset) {
        for (; at_ < offset && at_ < text_.size(); ++at_)
            if (text_[at_] == u'\n') ++line_;
        return line_;
    }

private:
    std::u16string_view text_;
    std::size_t at_ = 0;
    int line_ = 1;
};

int ByteLine(std::string_view bytes, std::size_t end) {
    int line = 1;
    for (std::size_t i = 0; i < end && i < bytes.size(); ++i)
        line += bytes[i] == '\n';
    return line;
}

// What the bytes themselves would hide from the panel: a UTF-16 file, a UTF-8 one where the
// code page is another, a NUL that ends the text early, sequences the code page cannot decode.
void ReviewBytes(std::string_view bytes, const std::u16string& text, BankReview& review) {
    auto& warnings = review.warnings;
    const std::string page = "code page " + std::to_string(GetACP());
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        warnings.push_back("the file is UTF-16: the panels read it in " + page +
                           " and find nothing; save it in that code page");
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        bytes.remove_prefix(kUtf8ByteOrderMark.size());
        if (GetACP() == CP_UTF8)
            review.notes.push_back(At(1) + "a UTF-8 byte-order mark, which the panels skip");
        else
            warnings.push_back(At(1) +
                               "a UTF-8 byte-order mark: the file is UTF-8, but the "
                               "panels read it in " +
                               page + "; save it in that code page");
    }
    const auto nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        warnings.push_back(At(ByteLine(bytes, nul)) +
                           "a NUL byte ends the text here; the rest is never read");
        bytes = bytes.substr(0, nul);
    }
    if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return;
    const int strict = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(),
                                           static_cast<int>(bytes.size()), nullptr, 0);
    if (strict > 0) return;
    const auto bad = text.find(kReplacement);
    const int line = LineCounter(text).LineOf(bad == std::u16string::npos ? 0 : bad);
    warnings.push_back(At(line) + "bytes that are not valid in " + page +
                       "; the panels show them as \xEF\xBF\xBD");
}

void ReviewLoneCarriageReturn(std::u16string_view text, std::vector<std::string>& warnings) {
    // CR LF pairs became LF while decoding; any CR left is a lone one.
    const auto cr = text.find(u'\r');
    if (cr == std::u16string_view::npos) return;
    warnings.push_back(At(LineCounter(text).LineOf(cr)) +
                       "a lone carriage return, which stays in the text");
}

// The marker a line starting with a bracketed word such as "[Question]", "【答案】" or
// "[ 问题 ]" was meant to be: the panels know only the exact markers and read such a line as part
// of the question or answer around it.
struct Lookalike {
    std::u16string_view written;
    std::u16string_view meant;
};
std::optional<Lookalike> LookalikeMarker(std::u16string_view line) {
    line = Trim(line, kLinePadding);
    if (line.empty() || kMarkerOpeners.find(line.front()) == std::u16string_view::npos) return {};
    const auto close = line.find_first_of(kMarkerClosers, 1);
    if (close == std::u16string_view::npos || close > kMaxMarkerLength) return {};
    const std::u16string_view written = line.substr(0, close + 1);
    if (written == kQuestionMarker || written == kAnswerMarker) return {};
    // Numbered ones ("[Question 2]") too.
    std::u16string word(Trim(written.substr(1, close - 1), kLinePadding));
    while (!word.empty() && (word.back() == u' ' || (word.back() >= u'0' && word.back() <= u'9')))
        word.pop_back();
    for (char16_t& c : word)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (word.size() == 1 && written.size() != line.size()) return {};
    for (const MarkerWord& known : kMarkerWords)
        if (word == known.word) return Lookalike{written, known.meant};
    return {};
}

void ReviewLookalikeMarkers(std::u16string_view text, std::vector<std::string>& warnings) {
    ForEachLine(text, [&](std::u16string_view line, int index) {
        if (const auto lookalike = LookalikeMarker(line))
            warnings.push_back(At(index + 1) + Quoted(lookalike->written) +
                               " is no marker the panels know, so the line is read as text; "
                               "write " +
                               Utf16ToUtf8(lookalike->meant));
    });
}

// The choice letter (upper case) of a label such as "B." or "(b)" at the start of `text`, or 0.
char16_t ChoiceLabelAt(std::u16string_view text) {
    if (!text.empty() && kChoiceOpeners.find(text.front()) != std::u16string_view::npos)
        text.remove_prefix(1);
    if (text.size() < 2 || kChoiceSeparators.find(text[1]) == std::u16string_view::npos) return 0;
    const char16_t letter =
        text[0] >= u'a' && text[0] <= u'z' ? static_cast<char16_t>(text[0] - u'a' + u'A') : text[0];
    return kChoiceLetters.find(letter) == std::u16string_view::npos ? 0 : letter;
}

// The letters of the choices a question lists. A line starting with a label is a line of
// choices, and every label on it that follows padding counts ("A. Venus   B. Mars").
std::u16string ChoiceLetters(std::u16string_view question) {
    std::u16string letters;
    ForEachLine(question, [&](std::u16string_view line, int) {
        line = Trim(line, kLinePadding);
        if (ChoiceLabelAt(line) == 0) return;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (i > 0 && kPadding.find(line[i - 1]) == std::u16string_view::npos) continue;
            const char16_t letter = ChoiceLabelAt(line.substr(i));
            if (letter != 0 && letters.find(letter) == std::u16string::npos) letters += letter;
        }
    });
    return letters;
}

std::string ListLetters(std::u16string_view letters) {
    std::string list;
    for (const char16_t letter : letters)
        list += (list.empty() ? "" : ", ") + Utf16ToUtf8(std::u16string_view(&letter, 1));
    return list;
}

// The answer text after a question's "[答案]" (`answerLine` is that marker's line): a one-letter
// answer must name one of the question's choices when it lists any, and no line of the answer
// may be padded with what a viewer cannot type. Spaces between "[答案]" and an answer on its line
// are a separator the panels trim, not padding.
void ReviewAnswer(std::u16string_view question, std::u16string_view answerText, int answerLine,
                  const QuestionEntry& entry, const std::string& whose,
                  std::vector<std::string>& warnings) {
    const auto first = answerText.find_first_not_of(kBlank);
    if (first == std::u16string_view::npos) return;
    const int firstLine = answerLine + CountLineFeeds(answerText.substr(0, first));
    if (entry.answer.size() == 1) {
        const char16_t letter = ChoiceLabelAt(entry.answer + u'.');
        const std::u16string choices = ChoiceLetters(question);
        if (letter != 0 && !choices.empty() && choices.find(letter) == std::u16string::npos)
            warnings.push_back(At(firstLine) + whose + " answer " + Quoted(entry.answer) +
                               " is none of its choices (" + ListLetters(choices) +
                               "); write the letter of the right one");
    }
    bool reported = false;
    ForEachLine(answerText, [&](std::u16string_view line, int index) {
        const std::u16string_view answer = Trim(line, kPadding);
        if (reported || answer.empty()) return;
        const std::u16string_view before = line.substr(0, line.find_first_not_of(kPadding));
        const bool padBefore = index == 0
                                   ? before.find_first_not_of(u' ') != std::u16string_view::npos
                                   : !before.empty();
        const bool padAfter = line.size() > before.size() + answer.size();
        if (!padBefore && !padAfter) return;
        reported = true;
        const char* where = padBefore && padAfter ? "around" : padBefore ? "before" : "after";
        warnings.push_back(At(answerLine + index) + whose + " answer has spaces or tabs " + where +
                           " it; write just " + Quoted(answer) + ", as viewers type it");
    });
}

// Walks the question markers as the parser does, noting each block's line and what in it the
// presenter should know.
void ReviewBlocks(std::u16string_view text, BankReview& review) {
    LineCounter lines(text);
    auto marker = text.find(kQuestionMarker);
    if (marker == std::u16string_view::npos) {
        review.warnings.push_back("no [问题] marker: the panels find no question and say so; "
                                  "write [问题] on the line before each question");
        return;
    }
    const std::u16string_view preamble = text.substr(0, marker);
    const auto lastWord = preamble.find_last_not_of(kBlank);
    if (lastWord != std::u16string_view::npos) {
        const int last = 1 + CountLineFeeds(preamble.substr(0, lastWord));
        review.notes.push_back(At(1) + "the text before the first [问题]" +
                               (last > 1 ? " (lines 1 to " + std::to_string(last) + ")" : "") +
                               " is ignored: the place for a title or notes");
    }
    while (marker != std::u16string_view::npos) {
        const std::size_t start = marker + kQuestionMarker.size();
        const std::size_t next = text.find(kQuestionMarker, start);
        const std::u16string_view block =
            text.substr(start, next == std::u16string_view::npos ? next : next - start);
        const int line = lines.LineOf(marker);
        review.markerLines.push_back(line);
        const int number = static_cast<int>(review.markerLines.size());
        const std::string name = "question " + std::to_string(number);
        const std::string where = At(line) + name + " ";
        const auto answer = block.find(kAnswerMarker);
        if (answer == std::u16string_view::npos)
            review.warnings.push_back(where + "has no [答案]: the panels give it no answer; "
                                              "write [答案] and the answer after the question");
        else if (block.find(kAnswerMarker, answer + kAnswerMarker.size()) !=
                 std::u16string_view::npos)
            review.warnings.push_back(where + "has a second [答案], which becomes part of the "
                                              "answer; keep one [答案] per question");
        if (const QuestionEntry* entry = review.bank.At(number - 1)) {
            if (entry->question.find_first_not_of(u" \r\n") == std::u16string::npos)
                review.warnings.push_back(where +
                                          "has an empty question; write it after its [问题]");
            if (answer != std::u16string_view::npos && entry->answer.empty())
                review.warnings.push_back(where + "has an empty answer; write it after its [答案]");
            if (answer != std::u16string_view::npos)
                ReviewAnswer(block.substr(0, answer), block.substr(answer + kAnswerMarker.size()),
                             line + CountLineFeeds(block.substr(0, answer)), *entry, name + "'s",
                             review.warnings);
        }
        marker = next;
    }
}

void PrintIndented(const std::u16string& text, const char* firstPrefix) {
    std::istringstream lines(Utf16ToUtf8(text));
    std::string line;
    const char* prefix = firstPrefix;
    while (std::getline(lines, line)) {
        std::printf("%s%s\n", prefix, line.c_str());
        prefix = "       ";
    }
    if (text.empty()) std::printf("%s(empty)\n", firstPrefix);
}

void PrintList(const char* title, const std::vector<std::string>& items) {
    if (items.empty()) return;
    std::printf("%s\n", title);
    for (const auto& item : items)
        std::printf("  %s\n", item.c_str());
}

void PrintEntries(const QuestionBank& bank) {
    for (int n = 1; n <= bank.count(); ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "%4d.  ", n);
        const QuestionEntry* entry = bank.At(n - 1);
        PrintIndented(entry->question, number);
        std::printf("       answer: %s\n", Utf16ToUtf8(entry->answer).c_str());
    }
}

// Loads the file through the plug-in's own panel, for the message boxes a presenter would see;
// answers the panel's count (from its number label) when it loaded questions.
void ShowWhatThePanelSays(const BankCheckOptions& options, const BankReview& review,
                          std::vector<std::string>& warnings) {
    std::string error;
    auto plugin = PluginLibrary::Open(options.pluginPath, error);
    Transcript transcript;
    std::unique_ptr<HostedGame> game;
    if (plugin)
        game = HostedGame::Create(*plugin, options.mode, 320, 240, options.lcid, transcript, error);
    if (!game) {
        std::printf("(the plug-in cannot show its messages: %s)\n", error.c_str());
        return;
    }
    const std::size_t boxesBefore = transcript.Texts("box").size();
    ScenarioEvent choose;
    choose.kind = ActionKind::Bank;
    choose.path = options.file;
    const bool loaded = game->Apply(choose, error);
    const auto boxes = transcript.Texts("box");
    // A panel that refuses the file says why in a box; without one, the host says why.
    if (!loaded && boxes.size() == boxesBefore)
        std::printf("(the plug-in's panel could not load it: %s)\n", error.c_str());
    if (loaded && review.bank.count() > 0) {
        const std::string shown = Utf16ToUtf8(game->ControlText(u"LabMaxNum").value_or(u""));
        if (shown != std::to_string(review.bank.count()) &&
            std::atoi(shown.c_str()) != review.bank.count())
            warnings.push_back("the plug-in's panel shows " + shown + " questions");
    }
    for (std::size_t i = boxesBefore; i < boxes.size(); ++i)
        std::printf("The panel said: %s\n", boxes[i].c_str());
    game->Finish();
}

} // namespace

BankReview ReviewBankBytes(std::string bytes, QuestionCleaning cleaning) {
    BankReview review;
    review.status = FileReadStatus::Ok;
    const std::string raw = bytes;
    const std::u16string text = DecodeQuestionBankBytes(std::move(bytes));
    ReviewBytes(raw, text, review);
    if (text.empty()) {
        review.warnings.push_back("the file holds no text: the panels load no question");
        return review;
    }
    review.bank.Parse(text, cleaning);
    ReviewLoneCarriageReturn(text, review.warnings);
    ReviewBlocks(text, review);
    ReviewLookalikeMarkers(text, review.warnings);
    return review;
}

BankReview ReviewBankFile(const std::string& path, QuestionCleaning cleaning) {
    std::string bytes;
    const std::u16string wide = FromNativePath(path);
    const FileReadStatus status = ReadRegularFile(wide.c_str(), kMaxQuestionBankBytes, bytes);
    if (status != FileReadStatus::Ok) {
        BankReview review;
        review.status = status;
        return review;
    }
    return ReviewBankBytes(std::move(bytes), cleaning);
}

int RunBankCheck(const BankCheckOptions& options) {
    const QuestionCleaning cleaning = options.mode == GameMode::Free
                                          ? QuestionCleaning::TrimSpacesThenCollapse
                                          : QuestionCleaning::CollapseThenTrimLines;
    BankReview review = ReviewBankFile(options.file, cleaning);
    if (review.status == FileReadStatus::Missing) {
        std::fprintf(stderr, "askgame-host: %s: cannot open the question bank\n",
                     options.file.c_str());
        return kExitNoInput;
    }
    std::printf("Question bank %s (read in code page %u)\n", options.file.c_str(), GetACP());
    if (review.status != FileReadStatus::Ok) {
        if (review.status == FileReadStatus::TooLarge)
            std::printf("The panels refuse it: too large (over %zu MiB)\n",
                        kMaxQuestionBankBytes / (1024 * 1024));
        else
            std::printf("The panels refuse it: %s\n", FileReadStatusText(review.status));
        ShowWhatThePanelSays(options, review, review.warnings);
        return kBankHasProblems;
    }
    const int count = review.bank.count();
    std::printf("As the %s panel reads it: %d question%s\n", GameModeName(options.mode), count,
                count == 1 ? "" : "s");
    PrintEntries(review.bank);
    ShowWhatThePanelSays(options, review, review.warnings);
    PrintList("Notes:", review.notes);
    if (review.warnings.empty())
        std::printf("No problems.\n");
    else
        PrintList("Problems:", review.warnings);
    return count > 0 && review.warnings.empty() ? 0 : kBankHasProblems;
}

} // namespace host
