#include "game/free_mode.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>

#include "askgame/effect_ids.h"
#include "platform/codepage.h"
#include "plugin/effect_call_scope.h"
#include "plugin/no_throw.h"
#include "render/text_draft.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFF;

// One of the four wrapped lines: its font cell height, background band and vertical place.
struct LineStyle {
    int fontHeight;
    std::uint32_t backgroundColor;
    int verticalPercent;
};
constexpr LineStyle kPromptStyle{20, 0x60000000, 0};     // top edge
constexpr LineStyle kQuestionStyle{24, 0x60000000, 8};   // under the prompt
constexpr LineStyle kAnswerStyle{18, 0xA0000000, 93};    // above the congratulation
constexpr LineStyle kCongratsStyle{18, 0xA0000000, 100}; // bottom edge

// The score list at the top left: heading, then ranks 1 to 3, in the fixed face.
struct Place {
    int x, y;
};
constexpr int kScoreFontHeight = 18;
constexpr char16_t kScoreFontFace[] = u"宋体";
constexpr std::uint32_t kScoreTitleBackground = 0x60010101;
constexpr Place kScoreTitlePlace{5, 5};
constexpr std::array<Place, 3> kScoreLinePlaces{{{0, 35}, {0, 65}, {0, 95}}};
constexpr int kScorePointsWidth = 3; // points right-aligned in at least three places

// Language string ids.
constexpr std::u16string_view kPromptId = u"InputAnswerTip";
constexpr std::u16string_view kScoreTitleId = u"ScoreList";
constexpr std::u16string_view kAnswerBannerId = u"correctAnswer";
constexpr std::u16string_view kCongratsId = u"congratitute";
constexpr std::u16string_view kScoreTotalId = u"ScoreAll";
constexpr std::array<std::u16string_view, 3> kRankLabelIds{u"FirstScore", u"SecondeScore",
                                                           u"ThirdScore"};

constexpr std::uint16_t kPointsPerRightAnswer = 1;

// Renders of a text made to one side before one is made under the lock: each is thrown away when
// the layout changed while it was made.
constexpr int kRenderAttempts = 3;

void NoAdjustment(CSpriteTextShowBase&) {}

bool IsAcceptedAnswerKind(std::uint32_t type) {
    return type == AudienceKind::Text || type == AudienceKind::FreeText;
}

// Sprite frame sizes are 16-bit; a size outside 1..65535 cannot be laid out.
bool IsUsableFrameSize(int width, int height) {
    return width > 0 && height > 0 && width <= UINT16_MAX && height <= UINT16_MAX;
}

std::u16string_view OrEmpty(LPCWSTR text) {
    return text ? std::u16string_view(text) : std::u16string_view();
}

// The sender's name up to its terminator, or the whole 1,024-byte field when a host left none.
std::u16string_view SenderName(const AudienceMessage& message) {
    const char16_t* name = message.senderName;
    const char16_t* end = std::find(name, name + AudienceMessage::kSenderNameUnits, u'\0');
    return {name, static_cast<std::size_t>(end - name)};
}

char16_t ToLowerAscii(char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

void LowerAsciiCapitals(std::u16string& text) {
    std::transform(text.begin(), text.end(), text.begin(), ToLowerAscii);
}

// Appends `value` in decimal, right-aligned with spaces in at least `minWidth` places.
void AppendDecimal(std::u16string& out, long long value, int minWidth = 0) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto pad = minWidth - (end - digits); pad > 0; --pad)
        out += u' ';
    for (const char* d = digits; d != end; ++d)
        out += static_cast<char16_t>(*d);
}

void StyleLine(CSpriteTextShow& sprite, const LineStyle& style, std::uint16_t frameWidth,
               std::uint16_t frameHeight) {
    sprite.SetFrameSize(frameWidth, frameHeight);
    sprite.SetFontHeight(style.fontHeight);
    sprite.SetTextColor(kWhite);
    sprite.SetBackgroundColor(style.backgroundColor);
    sprite.SetVerticalPercent(style.verticalPercent);
}

void StyleScoreSprite(CSpriteTextShowBase& sprite, Place place, std::uint16_t frameWidth,
                      std::uint16_t frameHeight) {
    sprite.SetFrameSize(frameWidth, frameHeight);
    sprite.SetPosition(place.x, place.y);
    sprite.SetFontFace(kScoreFontFace);
    sprite.SetFontHeight(kScoreFontHeight);
    sprite.SetTextColor(kWhite);
    sprite.SetVisible(false);
}

} // namespace

CFreeModeImpl::CFreeModeImpl() = default;

// Sprites, strings and lists are members and go with the game; the audience source is the host's.
CFreeModeImpl::~CFreeModeImpl() = default;

const GUID* CFreeModeImpl::GetEffectId() {
    return &CLSID_FreeModeGame;
}

BOOL CFreeModeImpl::Init(int frameWidth, int frameHeight, int /*reserved*/) {
    if (!IsUsableFrameSize(frameWidth, frameHeight)) return FALSE;
    const EffectCallScope running(this); // the host is called below
    return NoThrow(FALSE, [&] {
        IAudienceSource* source =
            LayOut(static_cast<std::uint16_t>(frameWidth), static_cast<std::uint16_t>(frameHeight));
        if (source) source->Start(); // with no lock held: the host may call back
        return TRUE;
    });
}

IAudienceSource* CFreeModeImpl::LayOut(std::uint16_t w, std::uint16_t h) {
    std::lock_guard lock(mutex_);

    StyleLine(promptSprite, kPromptStyle, w, h);
    promptSprite.SetText(languageTable.GetString(kPromptId));
    RenderSprite(promptSprite);
    promptSprite.SetVisible(true);

    StyleLine(questionSprite, kQuestionStyle, w, h);
    StyleLine(answerSprite, kAnswerStyle, w, h);
    StyleLine(congratsSprite, kCongratsStyle, w, h);
    for (CSpriteTextShow* sprite : {&questionSprite, &answerSprite, &congratsSprite})
        sprite->SetVisible(false);

    StyleScoreSprite(scoreTitle, kScoreTitlePlace, w, h);
    for (std::size_t r = 0; r < scoreLines.size(); ++r)
        StyleScoreSprite(scoreLines[r], kScoreLinePlaces[r], w, h);
    scoreTitle.SetBackgroundColor(kScoreTitleBackground);
    scoreTitle.SetText(languageTable.GetString(kScoreTitleId));
    RenderSprite(scoreTitle);
    scoreLineStale_.fill(true);

    answeredSenders.Clear();
    scoreBoard.Clear();
    return audienceSource;
}

void CFreeModeImpl::SetAudienceSource(IAudienceSource* source) {
    NoThrow(0, [&] {
        std::lock_guard lock(mutex_);
        audienceSource = source;
        return 0;
    });
}

BOOL CFreeModeImpl::ProcessFrame(BYTE* pixels, int /*reserved1*/, int bytesPerPixel,
                                 int /*reserved2*/, int frameWidth, int frameHeight,
                                 int /*reserved3*/) {
    if (bytesPerPixel != 4) return FALSE;
    const EffectCallScope running(this); // the host is called below
    return NoThrow(FALSE, [&] {
        IAudienceSource* source = nullptr;
        {
            std::lock_guard lock(mutex_);
            // No open question: the messages stay with the host and nothing is drawn.
            if (!questionSprite.IsVisible()) return TRUE;
            source = audienceSource;
        }
        // The host is called with no lock held, so it may call back into the game or its panel.
        Intake intake{source, {}};
        if (source)
            while (AudienceMessage* message = source->PopMessage())
                intake.taken.push_back(message);
        {
            std::lock_guard lock(mutex_);
            CheckMessages(intake.taken, frameWidth, frameHeight);
            Draw(HostFrameView(pixels, frameWidth, frameHeight));
        }
        return TRUE; // every message taken is released as the intake goes
    });
}

CFreeModeImpl::Intake::~Intake() {
    for (AudienceMessage* message : taken) {
        try {
            source->ReleaseMessage(message);
        } catch (...) {
            // A host that throws here still gets the rest of its messages back.
        }
    }
}

// ---- Panel ----

void CFreeModeImpl::SetLanguageFile(LPCWSTR path) {
    std::lock_guard lock(mutex_);
    languageTable.Load(OrEmpty(path));
}

void CFreeModeImpl::SetShowQuestionText(bool show) {
    std::lock_guard lock(mutex_);
    showQuestionText = show;
}

void CFreeModeImpl::PresentQuestion(LPCWSTR text) {
    const EffectCallScope running(this); // the host is called below
    IAudienceSource* source = nullptr;
    const std::u16string question(OrEmpty(text));
    ReplaceAside(questionSprite, &question, NoAdjustment, [&] {
        questionSprite.SetVisible(true);
        answeredSenders.Clear();
        source = audienceSource;
    });
    if (source) source->Start();
}

void CFreeModeImpl::SetRightAnswer(LPCWSTR answer) {
    std::lock_guard lock(mutex_);
    rightAnswer = OrEmpty(answer);
    // The banner shows the answer as the presenter typed it.
    answerSprite.SetText(languageTable.GetString(kAnswerBannerId) + rightAnswer);
    RenderSprite(answerSprite);
    answerSprite.SetVisible(false);
    choiceAnswer = IsChoiceAnswer(rightAnswer);
    if (choiceAnswer) LowerAsciiCapitals(rightAnswer);
}

void CFreeModeImpl::SetQuestionVisible(bool visible) {
    const EffectCallScope running(this); // the host is called below
    IAudienceSource* source = nullptr;
    {
        std::lock_guard lock(mutex_);
        answerSprite.SetVisible(visible);
        questionSprite.SetVisible(visible);
        scoreTitle.SetVisible(false);
        source = audienceSource;
    }
    if (source) source->Stop();
}

void CFreeModeImpl::SetOverlayTextColor(std::uint32_t color) {
    const auto recolour = [color](CSpriteTextShowBase& sprite) { sprite.SetTextColor(color); };
    for (CSpriteTextShow* sprite : {&questionSprite, &answerSprite, &congratsSprite, &promptSprite})
        ReplaceAside(*sprite, nullptr, recolour, [] {});
}

bool CFreeModeImpl::IsChoiceAnswer(std::u16string_view text) {
    if (text.size() != 1) return false;
    char bytes[8] = {};
    const int written =
        WideCharToMultiByte(CP_ACP, 0, text.data(), 1, bytes, sizeof bytes, nullptr, nullptr);
    if (written <= 0) return false;
    const auto b = static_cast<unsigned char>(bytes[0]);
    return (b >= 'a' && b <= 'f') || (b >= 'A' && b <= 'F') || (b >= '1' && b <= '6');
}

FreeModeView CFreeModeImpl::View() const {
    return {promptSprite, questionSprite, answerSprite, congratsSprite, scoreTitle,
            scoreLines,   scoreBoard,     rightAnswer,  choiceAnswer,   textRenders_};
}

// ---- Rendering to one side ----

template <class Adjust, class Then>
void CFreeModeImpl::ReplaceAside(CSpriteTextShow& live, const std::u16string* text, Adjust adjust,
                                 Then then) {
    TextDraft<CSpriteTextShow> draft; // freed after the lock, with the picture it replaced
    for (int attempt = 1;; ++attempt) {
        std::u16string rendered;
        {
            std::lock_guard lock(mutex_);
            draft.Capture(live);
            rendered = text ? *text : live.text;
        }
        draft.RenderWith(rendered, [&](CSpriteTextShowBase& sprite) {
            adjust(sprite);
            return RenderAside(sprite);
        });
        std::lock_guard lock(mutex_);
        adjust(live);
        // A re-render of the live text is dropped when another text arrived meanwhile; any
        // render is dropped when the layout changed meanwhile.
        const bool current = text || live.text == rendered;
        if (current && draft.InstallInto(live)) {
            ++textRenders_;
        } else if (attempt < kRenderAttempts) {
            continue;
        } else {
            if (text) live.SetText(*text);
            RenderSprite(live);
        }
        then();
        return;
    }
}

// ---- Frame work ----

bool CFreeModeImpl::RenderSprite(CSpriteTextShowBase& sprite) {
    ++textRenders_;
    return sprite.Render() != FALSE; // a failed render leaves the sprite as it was
}

void CFreeModeImpl::CheckMessages(const std::vector<AudienceMessage*>& messages, int frameWidth,
                                  int frameHeight) {
    rightAnswerTaken_ = false;
    for (const AudienceMessage* message : messages)
        if (IsAcceptedAnswerKind(message->type)) CheckAnswer(*message);
    // The lines a right answer changes are rendered once, for the intake's final state.
    if (rightAnswerTaken_) ShowRightAnswers(frameWidth, frameHeight);
}

void CFreeModeImpl::CheckAnswer(const AudienceMessage& message) {
    std::u16string_view answer = OrEmpty(message.text);
    char16_t choice = 0;
    if (choiceAnswer) {
        // One attempt per viewer at a choice question; anything that is not a choice character
        // does not use it up.
        if (answeredSenders.Contains(message.senderId)) return;
        if (IsChoiceAnswer(answer)) {
            choice = ToLowerAscii(answer.front());
            answer = {&choice, 1};
            answeredSenders.Insert(message.senderId);
        }
    }
    if (answer != rightAnswer) return;

    const std::u16string_view name = SenderName(message);
    lastScorerTotal_ = AddScore(message.senderId, name, kPointsPerRightAnswer);
    lastScorerId_ = message.senderId;
    lastScorerName_.assign(name);
    rightAnswerTaken_ = true;
}

std::uint16_t CFreeModeImpl::AddScore(std::uint32_t senderId, std::u16string_view senderName,
                                      std::uint16_t points) {
    return scoreBoard.AddPoints(senderId, senderName, points);
}

void CFreeModeImpl::ShowRightAnswers(int frameWidth, int frameHeight) {
    // "<congratulation>  <name>(<id>) <total label><total> "
    std::u16string line = languageTable.GetString(kCongratsId);
    line += u"  ";
    line += lastScorerName_;
    line += u'(';
    AppendDecimal(line, lastScorerId_); // unsigned, as the challenge game prints it
    line += u") ";
    line += languageTable.GetString(kScoreTotalId);
    AppendDecimal(line, lastScorerTotal_);
    line += u' ';
    congratsSprite.SetText(std::move(line));
    // The congratulation is laid out for the frame being drawn (while its size is usable); a
    // top-down frame's negative height is only its row order.
    const int rows = frameHeight == INT_MIN ? 0 : std::abs(frameHeight);
    if (IsUsableFrameSize(frameWidth, rows))
        congratsSprite.SetFrameSize(static_cast<std::uint16_t>(frameWidth),
                                    static_cast<std::uint16_t>(rows));
    RenderSprite(congratsSprite);

    RefreshScoreLines();
    answerSprite.SetVisible(true);
    congratsSprite.SetVisible(true);
    scoreTitle.SetVisible(true);
}

void CFreeModeImpl::RefreshScoreLines() {
    const PlayerEntry* top[std::size(kRankLabelIds)];
    const std::size_t shown = scoreBoard.Top(top, std::size(top));
    for (std::size_t r = 0; r < shown; ++r) {
        // "<rank label><points, at least 3 places> <name>"
        lineText_ = languageTable.GetString(kRankLabelIds[r]);
        AppendDecimal(lineText_, top[r]->points, kScorePointsWidth);
        lineText_ += u' ';
        lineText_ += top[r]->senderName;
        CSpriteTextShowBase& sprite = scoreLines[r];
        if (scoreLineStale_[r] || sprite.text != lineText_) {
            sprite.SetText(lineText_);
            scoreLineStale_[r] = !RenderSprite(sprite);
        }
        sprite.SetVisible(true);
    }
}

void CFreeModeImpl::Draw(const FrameView& pixels) {
    if (scoreTitle.IsVisible()) {
        scoreTitle.DrawOnFrame(pixels);
        for (CSpriteTextShowBase& line : scoreLines)
            line.DrawOnFrame(pixels);
    } else {
        promptSprite.DrawOnFrame(pixels);
        if (showQuestionText) questionSprite.DrawOnFrame(pixels);
    }
    if (answerSprite.IsVisible()) {
        answerSprite.DrawOnFrame(pixels);
        congratsSprite.DrawOnFrame(pixels);
    }
}
