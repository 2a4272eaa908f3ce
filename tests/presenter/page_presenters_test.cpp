#include "show/page_presenters.h"

#include <atomic>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/utf.h"
#include "show/live_presenter.h"

namespace {

using namespace std::chrono_literals;

std::string ChooseBank() {
    char16_t file[260] = {};
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFile = file;
    dialog.nMaxFile = 260;
    dialog.lpstrTitle = u"Bank";
    if (!GetOpenFileNameW(&dialog)) return std::string();
    return Utf16ToUtf8(file);
}

std::uint64_t WaitForDialog(show::PresenterChannel& channel, const char* kind) {
    for (int i = 0; i < 500; ++i) {
        const auto open = channel.OpenDialog();
        if (!open.is_null() && open["kind"] == kind) return open["id"].get<std::uint64_t>();
        std::this_thread::sleep_for(2ms);
    }
    return 0;
}

// The host's own presenters, as it installs them before the page comes: a box is recorded, a
// file dialog answers what was chosen over the API.
struct HostPresenters {
    HostPresenters() {
        SetMessageBoxPresenter([this](const MessageBoxRequest& box) {
            boxes.push_back(Utf16ToUtf8(box.text));
            return IDOK;
        });
        SetOpenFilePresenter([this](const OpenFileRequest&) -> std::optional<std::u16string> {
            if (apiChoice.empty()) return std::nullopt;
            return Utf8ToUtf16(apiChoice);
        });
    }
    ~HostPresenters() {
        SetMessageBoxPresenter({});
        SetOpenFilePresenter({});
    }
    std::vector<std::string> boxes;
    std::string apiChoice;
};

TEST(PagePresenters, TheHostRecordsTheBoxAndThePageHoldsItUntilOk) {
    HostPresenters host;
    show::PresenterChannel channel;
    auto page = channel.OpenStream();
    {
        show::PagePresenters presenters(channel);
        auto shown = std::async(std::launch::async,
                                [] { return MessageBoxW(nullptr, u"Need players", u"Tip", 0); });
        const std::uint64_t id = WaitForDialog(channel, "box");
        ASSERT_NE(id, 0u);
        EXPECT_EQ(host.boxes, std::vector<std::string>{"Need players"});
        EXPECT_EQ(shown.wait_for(30ms), std::future_status::timeout);
        ASSERT_TRUE(channel.Answer(id, {true, {}}));
        EXPECT_EQ(shown.get(), IDOK);
    }
    // Gone with the page's presenters: boxes reach the host alone and return at once.
    EXPECT_EQ(MessageBoxW(nullptr, u"later", u"Tip", 0), IDOK);
    EXPECT_EQ(host.boxes.size(), 2u);
}

TEST(PagePresenters, AFileDialogIsTheBankChooserUnlessTheHostAnswersIt) {
    HostPresenters host;
    show::PresenterChannel channel;
    auto page = channel.OpenStream();
    show::PagePresenters presenters(channel);

    const auto choose = ChooseBank;

    host.apiChoice = "\\banks\\api.txt";
    EXPECT_EQ(choose(), "\\banks\\api.txt");
    EXPECT_TRUE(channel.OpenDialog().is_null()) << "the page was asked for an answer it had";

    host.apiChoice.clear();
    auto chosen = std::async(std::launch::async, choose);
    std::uint64_t id = WaitForDialog(channel, "bank");
    ASSERT_NE(id, 0u);
    EXPECT_EQ(channel.OpenDialog()["caption"], "Bank");
    ASSERT_TRUE(channel.Answer(id, {true, std::filesystem::path("/srv/banks/b.txt")}));
    EXPECT_EQ(chosen.get(), "\\srv\\banks\\b.txt");

    auto cancelled = std::async(std::launch::async, choose);
    id = WaitForDialog(channel, "bank");
    ASSERT_TRUE(channel.Answer(id, {false, {}}));
    EXPECT_EQ(cancelled.get(), "");
}

// A live host lets go of its game's lock while the chooser waits (so frames go on): the live
// presenter must hand its wait to the host, not wait in place.
TEST(PagePresenters, TheLivePresentersChooserWaitsTheHostsWay) {
    HostPresenters host;
    show::UiThread ui;
    std::atomic<bool> waitingTheHostsWay = false;
    show::LivePresenterOptions options;
    options.whileWaiting = [&](const std::function<void()>& wait) {
        waitingTheHostsWay = true;
        wait();
    };
    show::LivePresenter live(
        ui, [](const auto& task) { task(nullptr); }, [] { return nlohmann::json::object(); },
        std::move(options));

    auto chosen = std::async(std::launch::async, ChooseBank);
    for (int i = 0; i < 500 && !waitingTheHostsWay; ++i)
        std::this_thread::sleep_for(2ms);
    EXPECT_TRUE(waitingTheHostsWay);
    live.Close(); // answers the open chooser with no bank
    EXPECT_EQ(chosen.get(), "");
}

// Two shows in one program (a preview and a render filter, two sources): each page keeps its
// uploads apart, and the show that ends first takes only its own.
TEST(PagePresenters, EachLivePageKeepsItsUploadsToItself) {
    show::UiThread ui;
    const auto make = [&ui] {
        return std::make_unique<show::LivePresenter>(
            ui, [](const auto& task) { task(nullptr); }, [] { return nlohmann::json::object(); },
            show::LivePresenterOptions{});
    };
    auto first = make();
    auto second = make();
    std::string error;
    const auto mine = first->Banks().SaveUpload("[问题]\nFirst?\n[答案]\nA\n", error);
    const auto theirs = second->Banks().SaveUpload("[问题]\nSecond?\n[答案]\nB\n", error);
    ASSERT_TRUE(mine && theirs) << error;
    EXPECT_NE(mine->parent_path(), theirs->parent_path());
    first.reset();
    EXPECT_FALSE(std::filesystem::exists(*mine));
    EXPECT_TRUE(std::filesystem::exists(*theirs)) << "the other show's upload went with the first";
    second.reset();
    EXPECT_FALSE(std::filesystem::exists(*theirs));
}

} // namespace
