// The challenge game per frame.
//
// Frame/<state>/frame: ProcessFrame at 1920 × 1080 while gathering and while a question is open,
// beside .../reference: the same sprites' blends alone, drawn by sprites set up as the game sets
// up its own.
// ListedPlayers/<n>: a gathering frame with n players listed, beside 3 players (reference).
// GiftsPerMessage/<n>, ChatPerMessage/<n>: 100,000 messages in frames carrying n gifts from n new
// senders, or n chat messages on a letter question, beside frames of 1,000 whose records are in
// the cache (reference) or, as those of frames of 100,000 are, only in memory (reference_cold,
// each frame reading the next thousand of 100,000 records). The frames are 320 × 240, so that the
// scan rather than the blend is measured, and the fixed cost of a frame is measured beside every
// frame and taken out (see PerMessage).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "game/challenge_game.h"

namespace {

constexpr int kW = 1920, kH = 1080;
constexpr int kSmallW = 320, kSmallH = 240; // message benchmarks: the scan, not the blend
constexpr char16_t kQuestion[] = u"下面哪一座城市是法国的首都？ A 伦敦 B 巴黎 C 罗马 D 柏林";

// A host's audience source that costs next to nothing: records built once, a list of pointers
// handed out on demand, releases only counted. Every list handed out is kept until Refill, so
// that freeing one stays outside the measured frames.
class BenchAudience : public IAudienceSource {
public:
    void Gifts(std::size_t n, std::uint32_t firstId) { Build(n, firstId, AudienceKind::Gift); }
    void Chat(std::size_t n, std::uint32_t firstId) { Build(n, firstId, AudienceKind::Text); }
    // Queues `count` records built from the `first` on (all of them by default).
    void Refill(std::size_t first = 0, std::size_t count = SIZE_MAX) {
        held_.clear();
        pending_ = std::make_shared<AudienceMessageList>();
        const std::size_t end = first + std::min(count, records_.size() - first);
        for (std::size_t i = first; i < end; ++i)
            pending_->push_back(&records_[i]);
    }
    std::size_t size() const { return records_.size(); }

    std::shared_ptr<AudienceMessageList> GetPendingMessages() override {
        held_.push_back(pending_ ? std::move(pending_) : empty_);
        pending_.reset();
        return held_.back();
    }
    AudienceMessage* PopMessage() override { return nullptr; }
    void ReleaseMessage(AudienceMessage*) override { ++released; }
    void NotifyStateChanged() override {}
    void Start() override {}
    void Stop() override {}
    void Signal(int, int) override {}

    std::size_t released = 0;

private:
    void Build(std::size_t n, std::uint32_t firstId, std::uint32_t kind) {
        records_.assign(n, AudienceMessage{});
        for (std::size_t i = 0; i < n; ++i) {
            AudienceMessage& m = records_[i];
            m.type = kind;
            m.senderId = firstId + static_cast<std::uint32_t>(i);
            const std::string name = "viewer" + std::to_string(m.senderId);
            std::copy(name.begin(), name.end(), m.senderName);
            m.text = u"c"; // a wrong answer to the letter question "b"
            m.giftCount = 1;
            m.giftValue = static_cast<std::uint16_t>(1 + i % 500);
        }
    }

    std::vector<AudienceMessage> records_;
    std::shared_ptr<AudienceMessageList> pending_;
    std::vector<std::shared_ptr<AudienceMessageList>> held_;
    const std::shared_ptr<AudienceMessageList> empty_ = std::make_shared<AudienceMessageList>();
};

// A game with its room: three players seated (ids 1 to 3), more listed on request.
struct Stage {
    Stage(int w, int h, std::size_t players) : frame(static_cast<std::size_t>(w) * h * 4, 90) {
        game.SetAudienceSource(&room);
        game.Init(w, h, 0);
        room.Gifts(std::max<std::size_t>(players, 3), 1);
        room.Refill();
        width = w;
        height = h;
        Frame();
    }
    ~Stage() { DropLibraryAudienceTracker(); }
    void Frame() { game.ProcessFrame(frame.data(), 0, 4, 0, width, height, 0); }
    void OpenLetterQuestion() {
        game.SubmitQuestion(kQuestion);
        game.SetCorrectAnswer(u"b");
        game.StartAnswerScan();
    }

    BenchAudience room;
    CChallengeGameImpl game;
    std::vector<BYTE> frame;
    int width = kW, height = kH;
};

// ---- Whole frames beside their blends

void Frame_Gathering(benchmark::State& state) {
    Stage stage(kW, kH, 3);
    for (auto _ : state) {
        stage.Frame();
        benchmark::DoNotOptimize(stage.frame.data());
    }
}

void Frame_QuestionOpen(benchmark::State& state) {
    Stage stage(kW, kH, 3);
    stage.OpenLetterQuestion();
    for (auto _ : state) {
        stage.Frame();
        benchmark::DoNotOptimize(stage.frame.data());
    }
}

// The sprites a 1920 × 1080 game draws, set up apart from any game: only their blends are timed.
struct Sprites {
    explicit Sprites(bool withQuestion) : frame(static_cast<std::size_t>(kW) * kH * 4, 90) {
        band.SetFrameSize(kW, kH);
        band.Render();
        question.SetFrameSize(kW, kH);
        question.SetFontHeight(CChallengeGameImpl::kQuestionFontHeight);
        question.SetTextColor(0xFFFFFFFF);
        question.SetVerticalPercent(CChallengeGameImpl::kQuestionPercent);
        question.SetText(withQuestion ? kQuestion : u"");
        question.SetVisible(true);
        question.Render();
        const int columns[3] = {(kW - 240) / 4, (kW - 80) / 2, (3 * kW - 720) / 4 + 160};
        for (int i = 0; i < 3; ++i) {
            marks[i].SetFrameSize(kW, kH);
            marks[i].SetFontHeight(CChallengeGameImpl::kMarkFontHeight);
            marks[i].SetText(u"0");
            marks[i].x = columns[i];
            marks[i].Render();
            labels[i].SetFrameSize(kW, kH);
            labels[i].SetFontHeight(CChallengeGameImpl::kLabelFontHeight);
            labels[i].SetTextColor(0xFFFFFFFF);
            labels[i].SetVerticalPercent(CChallengeGameImpl::kLabelPercent);
            labels[i].SetText(u"viewer" + std::u16string(1, static_cast<char16_t>(u'1' + i)));
            labels[i].SetVisible(true);
            labels[i].Render();
            labels[i].x = columns[i];
        }
    }
    void Draw() {
        band.DrawOnFrame(frame.data());
        question.DrawOnFrame(frame.data());
        for (int i = 0; i < 3; ++i) {
            marks[i].DrawOnFrame(frame.data());
            labels[i].DrawOnFrame(frame.data());
        }
    }

    CSpriteBottomBK band;
    CSpriteChallengeTextShow question;
    CSpriteAccMark marks[3];
    CSpriteChallengeTextShow labels[3];
    std::vector<BYTE> frame;
};

void BlendsAlone(benchmark::State& state, bool withQuestion) {
    Sprites sprites(withQuestion);
    for (auto _ : state) {
        sprites.Draw();
        benchmark::DoNotOptimize(sprites.frame.data());
    }
}

// ---- Scale

void ListedPlayers(benchmark::State& state, std::size_t players) {
    Stage stage(kW, kH, players);
    for (auto _ : state) {
        stage.Frame();
        benchmark::DoNotOptimize(stage.frame.data());
    }
}

// Every iteration carries about the same number of messages, in frames of n taken in turn from
// the records built: when there are more records than one frame carries, each frame reads records
// no earlier frame of the iteration read, from memory rather than from the cache, as frames of
// 100,000 must. Each frame is followed by one carrying only its first kFixedMessages, and that
// frame's time is subtracted:
// the blends, the bookkeeping any frame has, and the new leaders' names drawn when a frame brings
// new players. Otherwise frames of 1,000 would pay a hundred frames' fixed cost against one for
// frames of 100,000, flattering the large case. The figures are the cost of the other messages,
// scaled to kMessagesPerIteration and timed by hand so that no pause of the benchmark's clock is
// counted either.
constexpr std::size_t kMessagesPerIteration = 100'000;
constexpr std::size_t kFixedMessages = 3;

template <typename Prepare>
void PerMessage(benchmark::State& state, Stage& stage, std::size_t n, Prepare prepare) {
    using Clock = std::chrono::steady_clock;
    std::size_t first = 0;
    auto timedFrame = [&](std::size_t messages) {
        prepare();
        stage.room.Refill(first, messages);
        const auto start = Clock::now();
        stage.Frame();
        return Clock::now() - start;
    };
    for (auto _ : state) {
        Clock::duration spent{};
        std::size_t done = 0;
        while (done < kMessagesPerIteration) {
            spent += timedFrame(n);
            spent -= timedFrame(kFixedMessages);
            done += n - kFixedMessages;
            first = first + 2 * n <= stage.room.size() ? first + n : 0;
        }
        const double perMessage = std::chrono::duration<double>(spent).count() / double(done);
        state.SetIterationTime(std::max(perMessage * kMessagesPerIteration, 1e-9));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMessagesPerIteration));
}

// Frames of n messages from a room of `records` (at least n) built once.
void GiftsPerMessage(benchmark::State& state, std::size_t n, std::size_t records) {
    Stage stage(kSmallW, kSmallH, 3);
    stage.room.Gifts(records, 1000); // n new senders every frame
    PerMessage(state, stage, n, [&] { stage.game.NewRound(); });
}

void ChatPerMessage(benchmark::State& state, std::size_t n, std::size_t records) {
    Stage stage(kSmallW, kSmallH, 3);
    stage.OpenLetterQuestion();
    stage.room.Chat(records, 1000); // n wrong first attempts every frame
    PerMessage(state, stage, n, [&] { stage.game.ClearAnswered(); });
}

} // namespace

BENCHMARK(Frame_Gathering)->Name("Frame/Gathering/frame")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BlendsAlone, gathering, false)
    ->Name("Frame/Gathering/reference")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(Frame_QuestionOpen)->Name("Frame/QuestionOpen/frame")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BlendsAlone, questionOpen, true)
    ->Name("Frame/QuestionOpen/reference")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(ListedPlayers, three, 3)
    ->Name("ListedPlayers/reference")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ListedPlayers, many, 100000)
    ->Name("ListedPlayers/100000")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(GiftsPerMessage, n1000, 1000, 1000)
    ->Name("GiftsPerMessage/reference")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiftsPerMessage, n1000_cold, 1000, kMessagesPerIteration)
    ->Name("GiftsPerMessage/reference_cold")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiftsPerMessage, n10000, 10000, 10000)
    ->Name("GiftsPerMessage/10000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GiftsPerMessage, n100000, 100000, 100000)
    ->Name("GiftsPerMessage/100000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChatPerMessage, n1000, 1000, 1000)
    ->Name("ChatPerMessage/reference")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChatPerMessage, n1000_cold, 1000, kMessagesPerIteration)
    ->Name("ChatPerMessage/reference_cold")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChatPerMessage, n10000, 10000, 10000)
    ->Name("ChatPerMessage/10000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ChatPerMessage, n100000, 100000, 100000)
    ->Name("ChatPerMessage/100000")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
