// The queue between threads and the user-interface thread.
#include <atomic>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "show/event_queue.h"
#include "show/ui_thread.h"

namespace {

TEST(BoundedQueue, RefusesBeyondCapacityAndDrainsInOrder) {
    show::BoundedQueue<int> queue(3);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(queue.TryPush(i), i < 3);
    EXPECT_EQ(queue.Size(), 3u);
    EXPECT_EQ(queue.Refused(), 2u);

    std::vector<int> out;
    EXPECT_EQ(queue.DrainInto(out, 2), 2u);
    EXPECT_TRUE(queue.TryPush(9));
    EXPECT_EQ(queue.DrainInto(out, 100), 2u);
    EXPECT_EQ(out, (std::vector<int>{0, 1, 2, 9}));
}

TEST(BoundedQueue, ManyProducersLoseNothingThatWasAccepted) {
    constexpr int kProducers = 8;
    constexpr int kEach = 5000;
    show::BoundedQueue<std::pair<int, int>> queue(64);
    std::atomic<int> producing{kProducers};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kEach;)
                if (queue.TryPush({p, i}))
                    ++i;
                else
                    std::this_thread::yield(); // full: retry once the consumer took some
            --producing;
        });
    std::vector<int> next(kProducers, 0);
    std::vector<std::pair<int, int>> batch;
    bool inOrder = true;
    while (producing > 0 || queue.Size() > 0) {
        batch.clear();
        if (queue.DrainInto(batch, 16) == 0) std::this_thread::yield();
        for (const auto& [p, i] : batch)
            inOrder &= i == next[p]++;
    }
    for (auto& t : producers)
        t.join();
    EXPECT_TRUE(inOrder);
    for (int p = 0; p < kProducers; ++p)
        EXPECT_EQ(next[p], kEach);
    EXPECT_EQ(queue.Accepted(), std::uint64_t(kProducers) * kEach);
}

TEST(UiThread, RunsEveryTaskOnItsOneThreadInOrder) {
    show::UiThread ui;
    std::vector<int> order;
    std::thread::id seen;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(ui.Post([&, i] {
            order.push_back(i);
            seen = std::this_thread::get_id();
        }));
    const auto number = ui.Invoke([&] { return ui.OnThisThread() ? 42 : 0; });
    ASSERT_TRUE(number);
    EXPECT_EQ(*number, 42);
    EXPECT_EQ(order.size(), 10u);
    EXPECT_NE(seen, std::this_thread::get_id());
    // A call made on the thread itself runs there and then instead of waiting on itself.
    EXPECT_TRUE(ui.Invoke([&] { return ui.Call([] {}); }).value_or(false));
}

TEST(UiThread, AnExceptionComesBackToTheCallerAndTheThreadGoesOn) {
    show::UiThread ui;
    EXPECT_THROW(ui.Call([] { throw std::runtime_error("panel fault"); }), std::runtime_error);
    ASSERT_TRUE(ui.Post([] { throw std::runtime_error("nobody waits for this"); }));
    EXPECT_EQ(ui.Invoke([] { return 5; }).value_or(0), 5);
}

TEST(UiThread, StopRunsWhatIsQueuedThenRefuses) {
    std::atomic<int> ran{0};
    std::atomic<bool> started{false};
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    show::UiThread ui(4);
    ASSERT_TRUE(ui.Post([&] {
        started = true;
        gate.wait();
    }));
    while (!started)
        std::this_thread::yield();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(ui.Post([&] { ++ran; }));
    EXPECT_FALSE(ui.Post([&] { ++ran; })) << "beyond the capacity of 4";
    release.set_value();
    ui.Stop();
    EXPECT_EQ(ran, 4);
    EXPECT_FALSE(ui.Post([&] { ++ran; }));
    EXPECT_FALSE(ui.Call([&] { ++ran; }));
    EXPECT_FALSE(ui.Invoke([] { return 1; }));
    ui.Stop();
}

} // namespace
