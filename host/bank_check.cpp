#include "host/bank_check.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "hosting/hosted_game.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf.h"

namespace host {

using namespace hosting;

namespace {

constexpr char16_t kReplacement = u'\uFFFD';

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
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

// What the bytes themselves would hide from the panel: a UTF-16 file, a NUL that ends the text
// early, sequences the code page cannot decode.
void ReviewBytes(std::string_view bytes, const std::u16string& text,
                 std::vector<std::string>& warnings) {
    const std::string page = "code page " + std::to_string(GetACP());
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        warnings.push_back("the file is UTF-16: the panels read it in " + page +
                           " and find nothing; save it in that code page");
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

// Walks the question markers as the parser does, noting each block's line and what in it the
// presenter should know.
void ReviewBlocks(std::u16string_view text, BankReview& review) {
    LineCounter lines(text);
    auto marker = text.find(kQuestionMarker);
    if (marker == std::u16string_view::npos) {
        review.warnings.push_back("no [问题] marker: the panels find no question and say so");
        return;
    }
    if (text.substr(0, marker).find_first_not_of(u" \t\r\n") != std::u16string_view::npos)
        review.warnings.push_back(At(1) + "the text before the first [问题] (up to line " +
                                  std::to_string(lines.LineOf(marker)) + ") is ignored");
    while (marker != std::u16string_view::npos) {
        const std::size_t start = marker + kQuestionMarker.size();
        const std::size_t next = text.find(kQuestionMarker, start);
        const std::u16string_view block =
            text.substr(start, next == std::u16string_view::npos ? next : next - start);
        const int line = lines.LineOf(marker);
        review.markerLines.push_back(line);
        const int number = static_cast<int>(review.markerLines.size());
        const std::string where = At(line) + "question " + std::to_string(number) + " ";
        const auto answer = block.find(kAnswerMarker);
        if (answer == std::u16string_view::npos)
            review.warnings.push_back(where + "has no [答案]: the panels give it no answer");
        else if (block.find(kAnswerMarker, answer + kAnswerMarker.size()) !=
                 std::u16string_view::npos)
            review.warnings.push_back(where +
                                      "has a second [答案], which becomes part of the answer");
        if (const QuestionEntry* entry = review.bank.At(number - 1)) {
            if (entry->question.find_first_not_of(u" \r\n") == std::u16string::npos)
                review.warnings.push_back(where + "has an empty question");
            if (answer != std::u16string_view::npos && entry->answer.empty())
                review.warnings.push_back(where + "has an empty answer");
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
    ReviewBytes(raw, text, review.warnings);
    if (text.empty()) {
        review.warnings.push_back("the file holds no text: the panels load no question");
        return review;
    }
    review.bank.Parse(text, cleaning);
    ReviewLoneCarriageReturn(text, review.warnings);
    ReviewBlocks(text, review);
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
        return 2;
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
    if (review.warnings.empty()) {
        std::printf("No warnings.\n");
    } else {
        std::printf("Warnings:\n");
        for (const auto& warning : review.warnings)
            std::printf("  %s\n", warning.c_str());
    }
    return count > 0 && review.warnings.empty() ? 0 : kBankHasProblems;
}

} // namespace host
