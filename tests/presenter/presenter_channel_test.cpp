#include "show/presenter_channel.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;
using show::DialogKind;
using show::PresenterChannel;

// Waits (bounded) until the stream reports an open dialog and answers its id.
std::uint64_t WaitForDialog(PresenterChannel& channel) {
    for (int i = 0; i < 500; ++i) {
        const auto open = channel.OpenDialog();
        if (!open.is_null()) return open["id"].get<std::uint64_t>();
        std::this_thread::sleep_for(2ms);
    }
    return 0;
}

TEST(PresenterChannel, AMessageBoxWaitsForThePagesOk) {
    PresenterChannel channel;
    auto page = channel.OpenStream();
    ASSERT_TRUE(page);
    auto asked = std::async(std::launch::async, [&] {
        return channel.Ask(DialogKind::MessageBox, "Tip", "Need players");
    });
    const std::uint64_t id = WaitForDialog(channel);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(asked.wait_for(50ms), std::future_status::timeout) << "answered before OK";

    const auto events = page->Next(1s);
    ASSERT_TRUE(events);
    EXPECT_NE(events->find("event: dialog"), std::string::npos);
    EXPECT_NE(events->find("\"caption\":\"Tip\""), std::string::npos);
    EXPECT_NE(events->find("\"kind\":\"box\""), std::string::npos);

    EXPECT_FALSE(channel.Answer(id + 1, {true, {}}));
    EXPECT_TRUE(channel.Answer(id, {true, {}}));
    EXPECT_FALSE(channel.Answer(id, {true, {}})) << "a second page answered the same box";
    ASSERT_EQ(asked.wait_for(2s), std::future_status::ready);
    EXPECT_TRUE(asked.get().ok);
    EXPECT_TRUE(channel.OpenDialog().is_null());
    // The page learns that the box has gone.
    EXPECT_NE(page->Next(1s)->find("event: dialog\ndata: null"), std::string::npos);
}

TEST(PresenterChannel, TheBankChooserAnswersOnlyWithABank) {
    PresenterChannel channel;
    auto page = channel.OpenStream();
    auto asked = std::async(std::launch::async,
                            [&] { return channel.Ask(DialogKind::BankChooser, "", ""); });
    std::uint64_t id = WaitForDialog(channel);
    ASSERT_TRUE(channel.Answer(id, {true, std::nullopt}));
    const show::DialogAnswer cancelled = asked.get();
    EXPECT_FALSE(cancelled.ok);

    asked = std::async(std::launch::async,
                       [&] { return channel.Ask(DialogKind::BankChooser, "", ""); });
    id = WaitForDialog(channel);
    ASSERT_TRUE(channel.Answer(id, {true, std::filesystem::path("/banks/a.txt")}));
    const show::DialogAnswer chosen = asked.get();
    EXPECT_TRUE(chosen.ok);
    EXPECT_EQ(chosen.bank, std::filesystem::path("/banks/a.txt"));
}

TEST(PresenterChannel, NobodyWatchingOrClosingNeverLeavesTheAskerWaiting) {
    PresenterChannel channel;
    EXPECT_TRUE(channel.Ask(DialogKind::MessageBox, "c", "t").ok);
    EXPECT_FALSE(channel.Ask(DialogKind::BankChooser, "c", "t").bank);

    auto page = channel.OpenStream();
    auto asked = std::async(std::launch::async,
                            [&] { return channel.Ask(DialogKind::MessageBox, "c", "t"); });
    ASSERT_NE(WaitForDialog(channel), 0u);
    channel.Close();
    ASSERT_EQ(asked.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(page->Next(10ms)) << "a closed channel ends its streams";
    EXPECT_FALSE(channel.OpenStream());
}

TEST(PresenterChannel, StreamsSendEachChangeOnceAndAreCapped) {
    PresenterChannel channel;
    channel.PublishPanel({{"version", 3}, {"root", {{"id", "0"}}}});
    channel.PublishState({{"players", 2}});
    auto page = channel.OpenStream();
    const std::string first = *page->Next(10ms);
    EXPECT_NE(first.find("event: panel\ndata: {\"root\":{\"id\":\"0\"},\"version\":3}"),
              std::string::npos);
    EXPECT_NE(first.find("event: state\ndata: {\"players\":2}"), std::string::npos);
    EXPECT_EQ(*page->Next(10ms), ":\n\n") << "nothing new: a keep-alive";

    channel.PublishState({{"players", 2}});                    // the same state
    channel.PublishPanel({{"version", 2}, {"root", nullptr}}); // an older panel
    EXPECT_EQ(*page->Next(10ms), ":\n\n");
    channel.PublishState({{"players", 3}});
    EXPECT_EQ(*page->Next(10ms), "event: state\ndata: {\"players\":3}\n\n");

    std::vector<std::unique_ptr<PresenterChannel::Stream>> more;
    while (auto stream = channel.OpenStream())
        more.push_back(std::move(stream));
    EXPECT_EQ(channel.Watching(), show::kMaxPageStreams);
    more.clear();
    EXPECT_EQ(channel.Watching(), 1);
}

} // namespace
