// Loading question banks: the bytes of a bank file decoded and cut into questions. Both figures
// load 100,000 questions per iteration, so their ratio is the ratio of the cost per question:
// "Bank/load/reference" loads a bank of 1,000 questions a hundred times, "Bank/load/100000" a
// bank of 100,000 questions once. Loading must stay linear in the bank's size. The host's review
// of a bank (`askgame-host bank`: the same load plus the line of every question and its warnings)
// is measured the same way, "Bank/review/reference" against "Bank/review/100000".
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "game/question_bank.h"
#include "host/bank_check.h"

namespace {

constexpr int kQuestionsPerIteration = 100000;

// A bank of `questions` choice questions with CR LF line ends, as an editor on Windows saves it.
std::string GeneratedBank(int questions) {
    std::string text = "示例题库 sample bank\r\n\r\n";
    for (int i = 0; i < questions; ++i) {
        const std::string n = std::to_string(i + 1);
        text += "[问题]\r\n第" + n +
                "题：下面哪一个是正确的答案？\r\nA. 选项一\r\nB. 选项二\r\n"
                "C. 选项三\r\nD. 选项四\r\n[答案]\r\nB\r\n\r\n";
    }
    return text;
}

void LoadBank(benchmark::State& state, int questions) {
    setenv("ASKGAME_ACP", "65001", 1);
    const std::string bytes = GeneratedBank(questions);
    const int loads = kQuestionsPerIteration / questions;
    QuestionBank bank;
    for (auto _ : state) {
        for (int i = 0; i < loads; ++i) {
            bank.Parse(DecodeQuestionBankBytes(bytes), QuestionCleaning::CollapseThenTrimLines);
            benchmark::DoNotOptimize(bank.count());
        }
    }
    if (bank.count() != questions) state.SkipWithError("the bank lost questions");
    state.SetItemsProcessed(state.iterations() * kQuestionsPerIteration);
    state.SetBytesProcessed(state.iterations() * loads * static_cast<std::int64_t>(bytes.size()));
}

void BankLoadReference(benchmark::State& state) {
    LoadBank(state, 1000);
}
void BankLoad100000(benchmark::State& state) {
    LoadBank(state, 100000);
}

void ReviewBank(benchmark::State& state, int questions) {
    setenv("ASKGAME_ACP", "65001", 1);
    const std::string bytes = GeneratedBank(questions);
    const int reviews = kQuestionsPerIteration / questions;
    int count = 0;
    for (auto _ : state) {
        for (int i = 0; i < reviews; ++i) {
            const auto review =
                host::ReviewBankBytes(bytes, QuestionCleaning::CollapseThenTrimLines);
            count = review.bank.count();
            benchmark::DoNotOptimize(review.markerLines.data());
        }
    }
    if (count != questions) state.SkipWithError("the review lost questions");
    state.SetItemsProcessed(state.iterations() * kQuestionsPerIteration);
}

void BankReviewReference(benchmark::State& state) {
    ReviewBank(state, 1000);
}
void BankReview100000(benchmark::State& state) {
    ReviewBank(state, 100000);
}

BENCHMARK(BankLoadReference)->Name("Bank/load/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(BankLoad100000)->Name("Bank/load/100000")->Unit(benchmark::kMillisecond);
BENCHMARK(BankReviewReference)->Name("Bank/review/reference")->Unit(benchmark::kMillisecond);
BENCHMARK(BankReview100000)->Name("Bank/review/100000")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
