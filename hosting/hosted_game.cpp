#include "hosting/hosted_game.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "askgame/effect_ids.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "platform/utf.h"

namespace hosting {

namespace {

// True when the file holds at least one byte this process may read.
bool Readable(const std::string& path) {
    FILE* file = _wfopen(FromNativePath(path).c_str(), u"rb");
    if (!file) return false;
    const bool any = std::fgetc(file) != EOF;
    std::fclose(file);
    return any;
}

// The window the panel lives in. The host has no window system; any distinct handle serves as
// the owner its message boxes and dialogs are checked against.
int paintWindowToken;
HWND PaintWindow() {
    return reinterpret_cast<HWND>(&paintWindowToken);
}

struct PanelNames {
    const char16_t* question;
    const char16_t* answer;
    const char16_t* push;
};

PanelNames NamesFor(GameMode mode) {
    if (mode == GameMode::Free) return {u"Question", u"RightAnswer", u"ButtonShowQue"};
    return {u"ChallengeQue", u"ChallengeAnswer", u"ButtonShowChallengQue"};
}

constexpr const char16_t* kRightAnswerer = u"RightAnswerer";
constexpr const char16_t* kGameNotify = u"GameNotify";
constexpr const char16_t* kBankButton = u"BtnQuestions";

// The plug-in writes its ANSI traces in code page 936; the transcript is UTF-8.
constexpr UINT kTraceCodePage = 936;

std::string TraceText(std::string_view bytes) {
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    const int units = MultiByteToWideChar(kTraceCodePage, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0) return std::string(bytes);
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    MultiByteToWideChar(kTraceCodePage, 0, bytes.data(), length, wide.data(), units);
    return Utf16ToUtf8(wide);
}

// The first line with text in it, and " ..." when more follows.
std::string FirstLine(const std::u16string& text) {
    const std::size_t start = std::min(text.find_first_not_of(u" \r\n"), text.size());
    const std::size_t end = std::min(text.find_first_of(u"\r\n", start), text.size());
    const std::string line = Utf16ToUtf8(text.substr(start, end - start));
    return text.find_first_not_of(u" \r\n", end) == std::u16string::npos ? line : line + " ...";
}

} // namespace

HostedGame::HostedGame(PluginLibrary& plugin, GameMode mode, Transcript& transcript)
    : plugin_(plugin), mode_(mode), transcript_(transcript), audience_(transcript) {
    JoinPresenters();
}

int HostedGame::PresentMessageBox(const MessageBoxRequest& box) {
    ++messageBoxes_;
    lastBox_ = MessageBoxSeen{Utf16ToUtf8(box.caption), Utf16ToUtf8(box.text)};
    const char* owner = box.owner == PaintWindow() ? "panel" : box.owner ? "other" : "none";
    transcript_.Add("box", "[" + Utf16ToUtf8(box.caption) + "] " + Utf16ToUtf8(box.text) +
                               " (owner: " + owner + ")");
    if (echo_.box) echo_.box(box);
    return IDOK;
}

std::optional<std::u16string> HostedGame::PresentOpenFile(const OpenFileRequest& dialog) {
    if (nextFile_.empty()) {
        if (echo_.unansweredFile) echo_.unansweredFile(dialog);
        return std::nullopt;
    }
    std::u16string chosen = FromNativePath(nextFile_);
    nextFile_.clear();
    return chosen;
}

void HostedGame::PresentTrace(std::string_view ansi) {
    Trace(TraceText(ansi));
}

void HostedGame::PresentTrace(std::u16string_view wide) {
    Trace(Utf16ToUtf8(wide));
}

void HostedGame::Trace(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line == lastTrace_) return;
    lastTrace_ = line;
    if (traces_) traces_(lastTrace_);
}

std::unique_ptr<HostedGame> HostedGame::Create(PluginLibrary& plugin, GameMode mode, int width,
                                               int height, LCID lcid, Transcript& transcript,
                                               std::string& error, TraceSink traces) {
    std::unique_ptr<HostedGame> game(new HostedGame(plugin, mode, transcript));
    HostedGame& g = *game;
    g.traces_ = std::move(traces);

    const ActingGame acting(&g);
    g.audience_.SetHandOutObserver(
        [&g](const AudienceMessage& message) { g.OnMessageHandedOut(message); });

    const GUID& id = mode == GameMode::Free ? CLSID_FreeModeGame : CLSID_ChallengeGame;
    g.effect_ = plugin.CreateVideoEffect(&id);
    if (!g.effect_) {
        error = std::string("the plug-in made no ") + GameModeName(mode) + "-mode effect";
        return nullptr;
    }
    g.panel_ = plugin.CreateEffectUI(mode == GameMode::Free ? kFreeModePanel : kChallengePanel);
    if (!g.panel_) {
        error = std::string("the plug-in made no ") + GameModeName(mode) + "-mode panel";
        return nullptr;
    }
    transcript.Add("host", std::string("created the ") + GameModeName(mode) +
                               "-mode effect and panel; LCID " + std::to_string(lcid));
    g.manager_.Init(PaintWindow());
    g.manager_.AttachDialog(g.panel_);
    g.panel_->InitPanel(0, 0, g.effect_, u"", u"", lcid);
    g.panel_->BindControls();
    g.width_ = width;
    g.height_ = height;
    if (!g.effect_->Init(width, height, 0)) {
        error = "the effect refused the frame size " + std::to_string(width) + "x" +
                std::to_string(height);
        return nullptr;
    }
    g.effect_->SetAudienceSource(&g.audience_);
    g.DeliverSignals();
    g.LogPanelState("ready");
    return game;
}

HostedGame::~HostedGame() {
    Finish();
}

void HostedGame::Finish() {
    if (finished_) return;
    finished_ = true;
    const ActingGame acting(this);
    manager_.AttachDialog(nullptr);
    delete panel_;
    panel_ = nullptr;
    if (effect_) plugin_.DestroyEffect(effect_);
    effect_ = nullptr;
    audience_.Finish();
    LeavePresenters();
}

std::optional<std::u16string> HostedGame::ControlText(const char16_t* name) const {
    const DuiLib::CControlUI* control = manager_.FindControl(name);
    if (!control) return std::nullopt;
    return control->GetText().Str();
}

bool HostedGame::IsQuestionPush(const std::string& control) const {
    return Utf8ToUtf16(control) == NamesFor(mode_).push;
}

std::u16string HostedGame::AnswerField() const {
    return ControlText(NamesFor(mode_).answer).value_or(u"");
}

void HostedGame::ChooseNextFile(const std::string& path) {
    nextFile_ = path;
}

DuiLib::CControlUI* HostedGame::FindControl(const std::string& name, std::string& error) const {
    DuiLib::CControlUI* control = manager_.FindControl(Utf8ToUtf16(name).c_str());
    if (!control)
        error = "the " + std::string(GameModeName(mode_)) + "-mode panel has no control named \"" +
                name + "\"";
    return control;
}

bool HostedGame::Click(const std::string& name, std::string& error) {
    DuiLib::CControlUI* control = FindControl(name, error);
    if (!control) return false;
    // Pushing a question: the free game judges against the answer the panel holds at the press.
    const PanelNames names = NamesFor(mode_);
    if (mode_ == GameMode::Free && Utf8ToUtf16(name) == names.push)
        judge_.QuestionSent(ControlText(names.answer).value_or(u""));
    if (!control->Activate()) {
        error = "\"" + name + "\" is hidden or disabled and cannot be clicked";
        return false;
    }
    return true;
}

bool HostedGame::Apply(const ScenarioEvent& event, std::string& error) {
    const ActingGame acting(this);
    switch (event.kind) {
    case ActionKind::Gift:
        audience_.QueueGift(event.viewer.id, event.viewer.name, event.giftCount, event.giftValue);
        return true;
    case ActionKind::Chat:
        audience_.QueueChat(event.viewer.id, event.viewer.name, event.text, event.chatKind);
        return true;
    case ActionKind::Click:
        transcript_.Add("panel", "click " + event.control);
        if (!Click(event.control, error)) return false;
        break;
    case ActionKind::Type: {
        transcript_.Add("panel", "type \"" + Utf16ToUtf8(event.text) + "\" into " + event.control);
        DuiLib::CControlUI* control = FindControl(event.control, error);
        if (!control) return false;
        auto* edit = static_cast<DuiLib::CEditUI*>(control->GetInterface(u"Edit"));
        if (!edit) {
            error = "\"" + event.control + "\" is not an edit";
            return false;
        }
        if (!edit->InputText(event.text.c_str())) {
            error =
                "\"" + event.control + "\" does not take typing (read-only, hidden or disabled)";
            return false;
        }
        break;
    }
    case ActionKind::Option: {
        transcript_.Add("panel",
                        std::string(event.selected ? "select " : "clear ") + event.control);
        DuiLib::CControlUI* control = FindControl(event.control, error);
        if (!control) return false;
        auto* option = static_cast<DuiLib::COptionUI*>(control->GetInterface(u"Option"));
        if (!option) {
            error = "\"" + event.control + "\" is not an option";
            return false;
        }
        option->Selected(event.selected);
        break;
    }
    case ActionKind::Bank: {
        transcript_.Add("panel", "choose the question bank " + event.path);
        if (GetFileAttributesW(FromNativePath(event.path).c_str()) != FILE_ATTRIBUTE_NORMAL) {
            error = event.path + ": no such question bank file";
            return false;
        }
        if (!Readable(event.path)) {
            error = event.path + ": the file is empty or cannot be read";
            return false;
        }
        // The panel refuses a file it cannot take (too large, no questions) with a message box
        // and keeps no bank: that box is the refusal.
        const int boxesBefore = messageBoxes_;
        ChooseNextFile(event.path);
        bool clicked = false;
        const auto chooseBank = [&] { clicked = Click(Utf16ToUtf8(kBankButton), error); };
        if (longWork_)
            longWork_(chooseBank);
        else
            chooseBank();
        nextFile_.clear();
        if (!clicked) return false;
        if (messageBoxes_ != boxesBefore && lastBox_) {
            error = event.path + ": " + lastBox_->text;
            return false;
        }
        break;
    }
    case ActionKind::Still:
    case ActionKind::Note:
        return true;
    }
    DeliverSignals();
    LogPanelState(event.control);
    return true;
}

bool HostedGame::ProcessFrame(Frame& frame) {
    return ProcessTopDown(frame.pixels.data(), frame.width, frame.height);
}

bool HostedGame::DrawFrame(BYTE* pixels, int width, int height) {
    if (!effect_) return false;
    return effect_->ProcessFrame(pixels, 0, kBytesPerPixel, 0, width, height, 0) != 0;
}

void HostedGame::RouteAudienceThrough(IAudienceSource& source) {
    if (effect_) effect_->SetAudienceSource(&source);
}

bool HostedGame::ProcessTopDown(BYTE* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0) return false;
    const ActingGame acting(this);
    // A negative height tells the plug-in the rows run top-down, so no row is moved.
    const bool drawn = DrawFrame(pixels, width, -height);
    DeliverSignals();
    return drawn;
}

// Answers every signal as the host's window would: a "GameNotify" to the panel, after which the
// challenge panel shows the right answerer.
void HostedGame::DeliverSignals() {
    for (int n = audience_.TakePendingSignals(); n > 0; --n) {
        if (!panel_) continue;
        manager_.SendNotify(panel_, kGameNotify);
        const auto answerer = ControlText(kRightAnswerer);
        if (mode_ != GameMode::Challenge || !answerer || answerer->empty()) continue;
        const std::string who = Utf16ToUtf8(*answerer);
        const auto sender = ParseSenderLabel(who);
        if (!sender) {
            transcript_.HostError("the right answerer \"" + who + "\" names no viewer id");
            continue;
        }
        const auto full = giftSenders_.find(sender->id);
        CountRightAnswer(sender->id, full != giftSenders_.end() ? full->second : sender->name, who);
    }
}

void HostedGame::OnMessageHandedOut(const AudienceMessage& message) {
    if (message.type == AudienceKind::Gift) {
        std::string name = SenderNameUtf8(message);
        if (season_) {
            season::SeasonEvent gift;
            gift.kind = season::SeasonEvent::Kind::Gift;
            gift.atMs = season::NowMs();
            gift.viewer = message.senderId;
            gift.name = name;
            gift.giftCount = message.giftCount;
            gift.giftValue = message.giftValue;
            season_->Record(std::move(gift));
        }
        if (mode_ == GameMode::Challenge) giftSenders_[message.senderId] = std::move(name);
    }
    if (mode_ != GameMode::Free || !judge_.Judge(message)) return;
    CountRightAnswer(message.senderId, SenderNameUtf8(message), SenderLabel(message));
}

void HostedGame::CountRightAnswer(std::uint32_t viewer, const std::string& name,
                                  const std::string& who) {
    scores_.AddPoint(who);
    transcript_.Add("right",
                    who + " answered right; " + std::to_string(scores_.PointsOf(who)) + " so far");
    if (!season_) return;
    const auto question = ControlText(NamesFor(mode_).question);
    const auto number = ControlText(u"EditNum");
    int questionNumber = 0;
    if (number) questionNumber = std::atoi(Utf16ToUtf8(*number).c_str());
    season::SeasonEvent answer;
    answer.atMs = season::NowMs();
    answer.viewer = viewer;
    answer.name = name;
    answer.questionNumber = questionNumber;
    if (question) answer.question = FirstLine(*question);
    answer.points = 1;
    season_->Record(std::move(answer));
}

void HostedGame::LogPanelState(const std::string& action) {
    const PanelNames names = NamesFor(mode_);
    const auto question = ControlText(names.question);
    const auto answer = ControlText(names.answer);
    const auto number = ControlText(u"EditNum");
    const auto count = ControlText(u"LabMaxNum");
    if (!question || !answer) return;
    std::string state = "after " + action + ": question " + Utf16ToUtf8(number.value_or(u"?")) +
                        "/" + Utf16ToUtf8(count.value_or(u"?")) + " \"" + FirstLine(*question) +
                        "\", answer \"" + Utf16ToUtf8(*answer) + "\"";
    transcript_.Add("panel", state);
}

} // namespace hosting
