// The free-mode game at 1920 × 1080, each figure beside a reference from the same run:
//   ProcessFrame/<state>/effect   a frame without messages in the Asking and Answered states,
//   ProcessFrame/<state>/reference  DrawOnFrame of the same visible sprites alone;
//   IntakePerMessage/100000       100,000 messages in frames of 100,000, all right answers
//                                 from distinct viewers already on a board of 100,000,
//   IntakePerMessage/reference    the same 100,000 messages in frames of 1,000 on a board of
//                                 1,000 (target: the cost per message within 1.5×);
//   TenThousandMessages/<k>right  a frame of 10,000 chat messages of which k are right answers
//                                 from distinct viewers, with the text renders it caused,
//   TenThousandMessages/reference the same frame with no right answer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "game/free_mode.h"
#include "ui/localisation.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr char16_t kLanguageFile[] = u"VideoGames\\AskGame\\English.xml";
constexpr char16_t kRight[] = u"Paris";
constexpr char16_t kWrong[] = u"London";

// A host's audience at bench speed: preallocated records handed out in order, release is free.
class BenchAudience : public IAudienceSource {
public:
    // Adds a text message; ids and names are the caller's.
    void Add(std::uint32_t senderId, const char16_t* text) {
        AudienceMessage m{};
        m.type = AudienceKind::Text;
        m.senderId = senderId;
        const std::u16string name = u"viewer" + std::u16string(1, char16_t(u'A' + senderId % 26));
        std::copy(name.begin(), name.end(), m.senderName);
        m.text = text;
        records_.push_back(m);
    }
    void Clear() {
        records_.clear();
        next_ = 0;
    }
    void Rewind() { next_ = 0; }

    AudienceMessage* PopMessage() override {
        return next_ < records_.size() ? &records_[next_++] : nullptr;
    }
    void ReleaseMessage(AudienceMessage*) override {}
    std::shared_ptr<AudienceMessageList> GetPendingMessages() override { return nullptr; }
    void NotifyStateChanged() override {}
    void Start() override {}
    void Stop() override {}
    void Signal(int, int) override {}

private:
    std::vector<AudienceMessage> records_;
    std::size_t next_ = 0;
};

struct Game {
    Game() {
        // The build copies data/ beside the executables, where a host keeps it.
        const std::u16string language = MakeHostRelativePath(kLanguageFile);
        game.SetLanguageFile(language.c_str());
        game.SetAudienceSource(&audience);
        game.Init(kWidth, kHeight, 0);
        game.SetShowQuestionText(true);
        game.PresentQuestion(u"Which city is the capital of France, and has been since the tenth "
                             u"century?");
        game.SetRightAnswer(kRight);
    }
    BOOL Frame() { return game.ProcessFrame(frame.data(), 0, 4, 0, kWidth, kHeight, 0); }
    // Brings viewers first..first+n−1 onto the board with one right answer each.
    void Seat(std::uint32_t first, std::uint32_t n) {
        audience.Clear();
        for (std::uint32_t id = first; id < first + n; ++id)
            audience.Add(id, kRight);
        Frame();
    }

    BenchAudience audience;
    CFreeModeImpl game;
    std::vector<BYTE> frame = std::vector<BYTE>(std::size_t{kWidth} * kHeight * 4, 0x40);
};

// A sprite drawn as the game draws it: same text, style and place, rendered once.
template <class Sprite>
void Mirror(Sprite& copy, const Sprite& original) {
    copy.SetFrameSize(original.frameWidth, original.frameHeight);
    copy.SetFontFace(original.fontFace);
    copy.SetFontHeight(original.fontHeight);
    copy.SetTextColor(original.textColor);
    copy.SetBackgroundColor(original.backgroundColor);
    copy.SetText(original.text);
    if constexpr (std::is_base_of_v<CWrappedTextSprite, Sprite>)
        copy.SetVerticalPercent(original.verticalPercent);
    copy.SetPosition(original.x, original.y);
    copy.Render();
    copy.SetVisible(original.IsVisible());
}

void AskingEffect(benchmark::State& state) {
    Game g;
    for (auto _ : state)
        benchmark::DoNotOptimize(g.Frame());
}

void AskingReference(benchmark::State& state) {
    Game g;
    const FreeModeView view = g.game.View();
    CSpriteTextShow prompt, question;
    Mirror(prompt, view.promptSprite);
    Mirror(question, view.questionSprite);
    for (auto _ : state) {
        prompt.DrawOnFrame(g.frame.data());
        question.DrawOnFrame(g.frame.data());
        benchmark::ClobberMemory();
    }
}

void AnsweredEffect(benchmark::State& state) {
    Game g;
    g.Seat(1, 3);
    g.audience.Clear();
    for (auto _ : state)
        benchmark::DoNotOptimize(g.Frame());
}

void AnsweredReference(benchmark::State& state) {
    Game g;
    g.Seat(1, 3);
    const FreeModeView view = g.game.View();
    CSpriteTextShowBase title, lines[3];
    CSpriteTextShow answer, congrats;
    Mirror(title, view.scoreTitle);
    for (int r = 0; r < 3; ++r)
        Mirror(lines[r], view.scoreLines[r]);
    Mirror(answer, view.answerSprite);
    Mirror(congrats, view.congratsSprite);
    for (auto _ : state) {
        title.DrawOnFrame(g.frame.data());
        for (auto& line : lines)
            line.DrawOnFrame(g.frame.data());
        answer.DrawOnFrame(g.frame.data());
        congrats.DrawOnFrame(g.frame.data());
        benchmark::ClobberMemory();
    }
}

// Every message a right answer from a distinct viewer already on the board: each one finds its
// viewer and moves it up a place. An iteration takes kIntakeMessages messages in frames of n, so
// the time of one iteration divided by kIntakeMessages is the cost of one message.
constexpr std::uint32_t kIntakeMessages = 100000;

void IntakePerMessage(benchmark::State& state, std::uint32_t n) {
    Game g;
    g.Seat(1, n);
    const std::uint64_t rendersBefore = g.game.View().textRenders;
    for (auto _ : state) {
        for (std::uint32_t taken = 0; taken < kIntakeMessages; taken += n) {
            g.audience.Rewind();
            g.Frame();
        }
    }
    const double frames = static_cast<double>(state.iterations()) * (kIntakeMessages / n);
    state.counters["renders_per_frame"] =
        static_cast<double>(g.game.View().textRenders - rendersBefore) / frames;
    state.SetItemsProcessed(state.iterations() * kIntakeMessages);
}

// 10,000 chat messages, `right` of them right answers from viewers new to the board.
void TenThousandMessages(benchmark::State& state, std::uint32_t right) {
    constexpr std::uint32_t kMessages = 10000;
    Game g;
    g.Seat(1000000, 3); // the Answered state, so every figure blends the same sprites
    std::uint32_t nextViewer = 1;
    std::uint64_t renders = 0;
    for (auto _ : state) {
        state.PauseTiming();
        g.audience.Clear();
        for (std::uint32_t i = 0; i < kMessages; ++i) {
            const bool isRight = i % 2 == 0 && i / 2 < right;
            g.audience.Add(isRight ? nextViewer++ : 0xFFFF0000u + i % 1000,
                           isRight ? kRight : kWrong);
        }
        const std::uint64_t before = g.game.View().textRenders;
        state.ResumeTiming();
        g.Frame();
        renders += g.game.View().textRenders - before;
    }
    state.counters["renders_per_frame"] =
        static_cast<double>(renders) / static_cast<double>(state.iterations());
}

} // namespace

BENCHMARK(AskingEffect)->Name("ProcessFrame/Asking/effect");
BENCHMARK(AskingReference)->Name("ProcessFrame/Asking/reference");
BENCHMARK(AnsweredEffect)->Name("ProcessFrame/Answered/effect");
BENCHMARK(AnsweredReference)->Name("ProcessFrame/Answered/reference");
BENCHMARK_CAPTURE(IntakePerMessage, reference, 1000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(IntakePerMessage, 100000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(TenThousandMessages, reference, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TenThousandMessages, 1right, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(TenThousandMessages, 5000right, 5000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
