#include "show/presenter_page.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <future>
#include <thread>

#include <httplib.h>

#include "show/endpoint.h"
#include "show/fake_show.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

// The page's routes on a real endpoint on a loopback port, with a bank folder holding a.txt and a
// secret beside the folder.
class PresenterPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("askgame-page-" + std::to_string(::getpid()));
        fs::create_directories(base_ / "banks");
        fs::create_directories(base_ / "uploads");
        std::ofstream(base_ / "banks" / "a.txt") << "Q?\nA\n";
        std::ofstream(base_ / "secret.txt") << "secret";
        show::PresenterHooks hooks;
        hooks.refreshPanel = [this] {
            page_->Channel().PublishPanel({{"version", 2}, {"root", {{"id", "0"}}}});
        };
        hooks.state = [] { return nlohmann::json{{"players", 3}}; };
        hooks.lcid = 2052;
        page_ = std::make_unique<show::PresenterPage>(
            hooks, show::BankFolder(base_ / "banks", base_ / "uploads"));
        endpoint_ = std::make_unique<show::Endpoint>(
            show_, show::EndpointOptions{"127.0.0.1", 0, kToken, "", 1 << 20});
        page_->AddRoutes(endpoint_->Server());
        std::string error;
        ASSERT_TRUE(endpoint_->Start(error)) << error;
        client_ = std::make_unique<httplib::Client>("127.0.0.1", endpoint_->Port());
        client_->set_read_timeout(5, 0);
        client_->set_bearer_token_auth(kToken);
    }
    void TearDown() override {
        page_->Channel().Close();
        endpoint_->Stop();
        fs::remove_all(base_);
    }

    // Asks the bank chooser on a thread of its own, as the panel's file dialog does, with a page
    // watching; answers the dialog's id.
    std::future<show::DialogAnswer> AskForBank(std::uint64_t& id) {
        watcher_ = page_->Channel().OpenStream();
        auto asked = std::async(std::launch::async, [this] {
            return page_->Channel().Ask(show::DialogKind::BankChooser, "Bank", "");
        });
        for (int i = 0; i < 500 && page_->Channel().OpenDialog().is_null(); ++i)
            std::this_thread::sleep_for(2ms);
        id = page_->Channel().OpenDialog().value("id", std::uint64_t{0});
        return asked;
    }

    fs::path base_;
    show_test::FakeShow show_;
    std::unique_ptr<show::PresenterPage> page_;
    std::unique_ptr<show::Endpoint> endpoint_;
    std::unique_ptr<httplib::Client> client_;
    std::unique_ptr<show::PresenterChannel::Stream> watcher_;
};

TEST_F(PresenterPageTest, WithoutTheTokenThePageGivesNothing) {
    httplib::Client stranger("127.0.0.1", endpoint_->Port());
    stranger.set_read_timeout(5, 0);
    for (const char* path :
         {"/", "/app.js", "/api/page/events", "/api/page/preview.jpg", "/api/page/banks"}) {
        const auto res = stranger.Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 403) << path;
        EXPECT_EQ(res->body.find("<html"), std::string::npos);
    }
    const auto page = client_->Get("/");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 200);
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->body.find("/app.js"), std::string::npos);
    EXPECT_EQ(client_->Get("/app.js")->get_header_value("Content-Type"),
              "text/javascript; charset=utf-8");
    EXPECT_EQ(client_->Get("/nothing.js")->status, 404);

    // A bookmark of /index.html with its token lands on the page, token and all.
    const std::string token = std::string("?token=") + kToken;
    const auto moved = stranger.Get(("/index.html" + token).c_str());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status, 302);
    EXPECT_EQ(moved->get_header_value("Location"), "/" + token);
    EXPECT_EQ(stranger.Get(("/" + token).c_str())->status, 200);
}

TEST_F(PresenterPageTest, TheStreamGreetsInThePanelsLanguageThenSendsPanelAndState) {
    std::string received;
    const auto res = client_->Get("/api/page/events", [&](const char* data, std::size_t size) {
        received.append(data, size);
        return received.find("event: state") == std::string::npos; // stop once it came
    });
    EXPECT_NE(received.find("event: hello\ndata: {\"lcid\":2052}"), std::string::npos);
    EXPECT_NE(received.find("event: panel\ndata: {\"root\":{\"id\":\"0\"},\"version\":2}"),
              std::string::npos);
    EXPECT_NE(received.find("event: state\ndata: {\"players\":3}"), std::string::npos);
}

TEST_F(PresenterPageTest, TheBankChooserTakesOnlyBanksOfTheFolderOrACappedUpload) {
    const auto listed = client_->Get("/api/page/banks");
    ASSERT_TRUE(listed);
    EXPECT_EQ(nlohmann::json::parse(listed->body)["banks"], nlohmann::json::array({"a.txt"}));

    std::uint64_t id = 0;
    auto asked = AskForBank(id);
    ASSERT_NE(id, 0u);
    const auto answer = [&](const std::string& bank) {
        return client_
            ->Post("/api/page/dialog", nlohmann::json{{"id", id}, {"bank", bank}}.dump(),
                   "application/json")
            ->status;
    };
    EXPECT_EQ(answer("../secret.txt"), 404);
    EXPECT_EQ(answer(base_.string() + "/secret.txt"), 404);
    EXPECT_EQ(client_->Post("/api/page/dialog", "{\"id\": \"x\"}", "application/json")->status,
              400);
    EXPECT_EQ(asked.wait_for(20ms), std::future_status::timeout);
    EXPECT_EQ(answer("a.txt"), 200);
    EXPECT_EQ(asked.get().bank, fs::canonical(base_ / "banks" / "a.txt"));
    EXPECT_EQ(answer("a.txt"), 409) << "the chooser was answered already";

    asked = AskForBank(id);
    const std::string path = "/api/page/upload?dialog=" + std::to_string(id);
    const auto tooLarge = client_->Post(
        path.c_str(), std::string(show::kMaxBankUploadBytes + 1, 'x'), "application/octet-stream");
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->status, 413);
    EXPECT_EQ(client_->Post(path.c_str(), "Q?\nB\n", "application/octet-stream")->status, 200);
    const auto uploaded = asked.get().bank;
    ASSERT_TRUE(uploaded);
    EXPECT_EQ(uploaded->parent_path(), base_ / "uploads");
    std::ifstream in(*uploaded);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Q?\nB\n");
}

} // namespace
