#include "host/bank_check.h"

#include <iconv.h>
#include <langinfo.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/hosted_game.h"
#include "platform/utf.h"

namespace host {

namespace {

constexpr std::u16string_view kQuestionMarker = u"[问题]";
constexpr std::u16string_view kAnswerMarker = u"[答案]";

int LineAt(std::u16string_view text, std::size_t offset) {
    int line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == u'\n') ++line;
    return line;
}

std::u16string Trim(std::u16string_view text) {
    const auto first = text.find_first_not_of(u" \r\n\t");
    if (first == std::u16string_view::npos) return {};
    const auto last = text.find_last_not_of(u" \r\n\t");
    return std::u16string(text.substr(first, last - first + 1));
}

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
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

} // namespace

BankScan ScanBankText(std::u16string_view text) {
    BankScan scan;
    if (text.empty()) {
        scan.warnings.push_back("the file holds no text: the panels load no question");
        return scan;
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')) {
            scan.warnings.push_back(At(LineAt(text, i)) +
                                    "a lone carriage return, which stays in the text");
            break;
        }
    std::size_t marker = text.find(kQuestionMarker);
    if (marker == std::u16string_view::npos) {
        scan.warnings.push_back("no [问题] marker: the panels find no question and say so");
        return scan;
    }
    if (!Trim(text.substr(0, marker)).empty())
        scan.warnings.push_back(At(1) + "the text before the first [问题] (up to line " +
                                std::to_string(LineAt(text, marker)) + ") is ignored");
    while (marker != std::u16string_view::npos) {
        const std::size_t start = marker + kQuestionMarker.size();
        const std::size_t next = text.find(kQuestionMarker, start);
        const std::u16string_view block = text.substr(
            start, next == std::u16string_view::npos ? std::u16string_view::npos : next - start);
        BankBlock entry;
        entry.line = LineAt(text, marker);
        const std::string where =
            At(entry.line) + "question " + std::to_string(scan.blocks.size() + 1) + " ";
        const std::size_t answer = block.find(kAnswerMarker);
        if (answer == std::u16string_view::npos) {
            entry.question = Trim(block);
            scan.warnings.push_back(where + "has no [答案]: the panels make a broken answer of it");
        } else {
            entry.question = Trim(block.substr(0, answer));
            entry.answer = Trim(block.substr(answer + kAnswerMarker.size()));
            const std::size_t second = block.find(kAnswerMarker, answer + kAnswerMarker.size());
            if (second != std::u16string_view::npos)
                scan.warnings.push_back(where + "has a second [答案] (line " +
                                        std::to_string(LineAt(text, start + second)) +
                                        "), which becomes part of the answer");
            if (entry.answer.empty()) scan.warnings.push_back(where + "has an empty answer");
        }
        if (entry.question.empty()) scan.warnings.push_back(where + "has an empty question");
        scan.blocks.push_back(std::move(entry));
        marker = next;
    }
    return scan;
}

std::string BankCodeset() {
    if (const char* acp = std::getenv("ASKGAME_ACP"); acp && *acp) {
        const std::string page = acp;
        if (page == "65001") return "UTF-8";
        if (page == "936") return "GBK";
        if (page == "950") return "BIG5";
        return "CP" + page;
    }
    const char* codeset = nl_langinfo(CODESET);
    return codeset && *codeset ? codeset : "UTF-8";
}

std::u16string DecodeBankBytes(std::string_view bytes, const std::string& codeset,
                               std::vector<std::string>& warnings) {
    if (bytes.size() >= 2 &&
        ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF')))
        warnings.push_back("the file is UTF-16: the panels read it in " + codeset +
                           " and find nothing; save it as " + codeset);
    const auto nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        int line = 1;
        for (std::size_t i = 0; i < nul; ++i)
            line += bytes[i] == '\n';
        warnings.push_back(At(line) + "a NUL byte ends the text here; the rest is never read");
        bytes = bytes.substr(0, nul);
    }
    iconv_t cd = iconv_open("UTF-16LE", codeset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        warnings.push_back("the code page " + codeset + " is unknown here; read as UTF-8");
        return Utf8ToUtf16(bytes);
    }
    std::string out(bytes.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size(), outLeft = out.size();
    char* o = out.data();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
        int line = 1;
        for (const char* p = bytes.data(); p < in; ++p)
            line += *p == '\n';
        warnings.push_back(At(line) + "not valid " + codeset +
                           " text; the panels read only what comes before it correctly");
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    std::u16string text(out.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(out[2 * i]) |
                                        static_cast<unsigned char>(out[2 * i + 1]) << 8);
    // Text mode turns CR LF into LF before the panels see the text.
    std::u16string joined;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')) joined += text[i];
    return joined;
}

int RunBankCheck(const BankCheckOptions& options) {
    std::ifstream in(options.file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "askgame-host: %s: cannot open the question bank\n",
                     options.file.c_str());
        return 2;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    std::vector<std::string> warnings;
    const std::string codeset = BankCodeset();
    const BankScan scan = ScanBankText(DecodeBankBytes(bytes.str(), codeset, warnings));
    warnings.insert(warnings.end(), scan.warnings.begin(), scan.warnings.end());

    std::printf("Question bank %s (read as %s)\n", options.file.c_str(), codeset.c_str());
    int count = 0;
    std::string error;
    auto plugin = PluginLibrary::Open(options.pluginPath, error);
    Transcript transcript;
    std::unique_ptr<HostedGame> game;
    if (plugin)
        game = HostedGame::Create(*plugin, options.mode, 320, 240, options.lcid, transcript, error);
    if (game) {
        const std::size_t boxesBefore = transcript.Texts("box").size();
        ScenarioEvent choose;
        choose.kind = ActionKind::Bank;
        choose.path = options.file;
        if (!game->Apply(choose, error)) {
            std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
            return 2;
        }
        const bool free = options.mode == GameMode::Free;
        const char16_t* questionControl = free ? u"Question" : u"ChallengeQue";
        const char16_t* answerControl = free ? u"RightAnswer" : u"ChallengeAnswer";
        count = std::atoi(Utf16ToUtf8(game->ControlText(u"LabMaxNum").value_or(u"0")).c_str());
        std::printf("As the %s panel reads it: %d question%s\n", GameModeName(options.mode), count,
                    count == 1 ? "" : "s");
        for (int n = 1; n <= count; ++n) {
            ScenarioEvent type;
            type.kind = ActionKind::Type;
            type.control = "EditNum";
            type.text = Utf8ToUtf16(std::to_string(n));
            ScenarioEvent go;
            go.kind = ActionKind::Click;
            go.control = "BtnGo";
            if (!game->Apply(type, error) || !game->Apply(go, error)) {
                std::fprintf(stderr, "askgame-host: %s\n", error.c_str());
                return 2;
            }
            char number[16];
            std::snprintf(number, sizeof number, "%4d.  ", n);
            PrintIndented(game->ControlText(questionControl).value_or(u""), number);
            std::printf("       answer: %s\n",
                        Utf16ToUtf8(game->ControlText(answerControl).value_or(u"")).c_str());
        }
        const auto boxes = transcript.Texts("box");
        for (std::size_t i = boxesBefore; i < boxes.size(); ++i)
            std::printf("The panel said: %s\n", boxes[i].c_str());
        game->Finish();
    } else {
        std::printf("(the plug-in cannot show it: %s)\nAs the host's own scan reads it: %zu "
                    "question%s\n",
                    error.c_str(), scan.blocks.size(), scan.blocks.size() == 1 ? "" : "s");
        count = static_cast<int>(scan.blocks.size());
        int n = 0;
        for (const auto& block : scan.blocks) {
            char number[16];
            std::snprintf(number, sizeof number, "%4d.  ", ++n);
            PrintIndented(block.question, number);
            std::printf("       answer: %s\n", Utf16ToUtf8(block.answer).c_str());
        }
    }
    if (warnings.empty()) {
        std::printf("No warnings.\n");
    } else {
        std::printf("Warnings:\n");
        for (const auto& warning : warnings)
            std::printf("  %s\n", warning.c_str());
    }
    return count > 0 && warnings.empty() ? 0 : 1;
}

} // namespace host
