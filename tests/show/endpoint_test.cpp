// The endpoint as chat bots and button decks use it, over loopback.
#include "show/endpoint.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>
#include <httplib.h>

#include "show/fake_show.h"
#include "show/live_events.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kToken = "0123456789abcdef0123456789abcdef";

class EndpointTest : public ::testing::Test {
protected:
    void SetUp() override {
        show::EndpointOptions options;
        options.port = 0;
        options.token = kToken;
        banks_ = fs::path(::testing::TempDir()) / "askgame-endpoint-banks";
        fs::create_directories(banks_);
        std::ofstream(banks_ / "tonight.txt") << "[Q]\n";
        options.banks = banks_;
        endpoint_ = std::make_unique<show::Endpoint>(show_, options);
        // A route added by another piece of the host sits behind the same token.
        endpoint_->Server().Get("/extra", [](const show::http::Request&, show::http::Response& r) {
            r.SetContent("extra", "text/plain");
        });
        // One a link may open, as the presenter's page is.
        endpoint_->Server().Get(
            "/linked",
            [](const show::http::Request&, show::http::Response& r) {
                r.SetContent("linked", "text/plain");
            },
            true);
        std::string error;
        ASSERT_TRUE(endpoint_->Start(error)) << error;
        client_ = std::make_unique<httplib::Client>("127.0.0.1", endpoint_->Port());
        client_->set_connection_timeout(2);
        client_->set_read_timeout(5);
        client_->set_bearer_token_auth(kToken);
    }

    httplib::Result Post(const char* path, const std::string& body) {
        return client_->Post(path, body, "application/json");
    }

    fs::path banks_;
    show_test::FakeShow show_;
    std::unique_ptr<show::Endpoint> endpoint_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(EndpointTest, EveryRouteNeedsTheToken) {
    httplib::Client anonymous("127.0.0.1", endpoint_->Port());
    anonymous.set_read_timeout(5);
    for (const char* path : {"/api/state", "/extra", "/nothing-here"}) {
        const auto refused = anonymous.Get(path);
        ASSERT_TRUE(refused) << path;
        EXPECT_EQ(refused->status, 403) << path;
    }
    const auto chat =
        anonymous.Post("/api/chat", R"({"id": 1, "name": "a", "text": "B"})", "application/json");
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->status, 403);
    anonymous.set_bearer_token_auth("0123456789abcdef0123456789abcdee");
    EXPECT_EQ(anonymous.Get("/api/state")->status, 403);
    EXPECT_TRUE(show_.Viewers().empty());

    EXPECT_EQ(client_->Get("/extra")->body, "extra");
    // The scheme's name in any letter case, as HTTP has it.
    const httplib::Headers lower = {{"Authorization", std::string("bearer ") + kToken}};
    EXPECT_EQ(anonymous.Get("/extra", lower)->status, 200);

    // A token in the address reaches logs and histories: only a link's route takes it, and
    // only to be read.
    const std::string query = std::string("?token=") + kToken;
    EXPECT_EQ(anonymous.Get(("/linked" + query).c_str())->status, 200);
    EXPECT_EQ(anonymous.Get(("/extra" + query).c_str())->status, 403);
    EXPECT_EQ(anonymous.Get(("/api/state" + query).c_str())->status, 403);
    const auto posted = anonymous.Post(("/api/chat" + query).c_str(),
                                       R"({"id": 1, "name": "a", "text": "B"})", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 403);
    EXPECT_TRUE(show_.Viewers().empty());
}

TEST_F(EndpointTest, ABrowserOnAnotherSiteIsRefusedEvenWithTheToken) {
    // A page elsewhere can make the presenter's browser post a "simple" request, token and all,
    // or reach the endpoint through a name of its own that resolves here (DNS rebinding).
    const std::string here = "127.0.0.1:" + std::to_string(endpoint_->Port());
    const httplib::Headers foreign = {{"Origin", "http://evil.example"}};
    const auto posted =
        client_->Post("/api/chat", foreign, R"({"id": 1, "name": "a", "text": "B"})", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 403);
    const httplib::Headers rebound = {
        {"Host", "evil.example:" + std::to_string(endpoint_->Port())}};
    EXPECT_EQ(client_->Get("/api/state", rebound)->status, 403);
    EXPECT_TRUE(show_.Viewers().empty());

    const httplib::Headers ours = {{"Origin", "http://" + here}};
    EXPECT_EQ(client_->Get("/api/state", ours)->status, 200) << "the page's own requests";
    const httplib::Headers named = {{"Host", "localhost:" + std::to_string(endpoint_->Port())}};
    EXPECT_EQ(client_->Get("/api/state", named)->status, 200);
}

TEST_F(EndpointTest, ChatAndGiftsAreQueuedForTheGame) {
    const auto chat = Post("/api/chat", R"({"id": 1001, "name": "王小明", "text": "B"})");
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->status, 200) << chat->body;
    const auto gift =
        Post("/api/gift", R"({"id": 1001, "name": "王小明", "count": 3, "value": 10})");
    ASSERT_TRUE(gift);
    EXPECT_EQ(gift->status, 200) << gift->body;

    const auto events = show_.Viewers();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].text, u"B");
    EXPECT_EQ(events[1].giftCount, 3);
}

TEST_F(EndpointTest, BadOrUntimelyRequestsChangeNothingAndSayWhy) {
    const auto bad = Post("/api/chat", R"({"id": "x", "name": "a", "text": "B"})");
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->status, 400);
    EXPECT_EQ(bad->body, "\"id\" must be a whole number from 0 to 4294967295\n");

    const auto huge = Post("/api/gift", std::string(show::kMaxEventBytes + 1, ' '));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    EXPECT_TRUE(show_.Viewers().empty());

    show_.fullTimes = 1;
    const auto full = Post("/api/chat", R"({"id": 1, "name": "a", "text": "B"})");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->status, 503);
    EXPECT_EQ(full->get_header_value("Retry-After"), "1");

    show_.refusal = "the free-mode panel has no control named \"BtnJump\"";
    const auto refused = Post("/api/panel", R"({"click": "BtnJump"})");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 422);
    EXPECT_EQ(refused->body, show_.refusal + "\n");
    EXPECT_TRUE(show_.Viewers().empty());
    EXPECT_TRUE(show_.Presenter().empty());
}

TEST_F(EndpointTest, PanelActionsAndState) {
    const auto click = Post("/api/panel", R"({"bank": "tonight.txt"})");
    ASSERT_TRUE(click);
    EXPECT_EQ(click->status, 200) << click->body;
    ASSERT_EQ(show_.Presenter().size(), 1u);
    EXPECT_EQ(show_.Presenter()[0].path, fs::canonical(banks_ / "tonight.txt").string());
    // Only a file directly in the banks folder is ever opened.
    for (const std::string outside :
         {"/etc/passwd", "../askgame-endpoint-banks/tonight.txt", "missing.txt", "."}) {
        const auto refused = Post("/api/panel", nlohmann::json{{"bank", outside}}.dump());
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->status, 400) << outside;
    }
    EXPECT_EQ(show_.Presenter().size(), 1u);

    const auto state = client_->Get("/api/state");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->status, 200);
    EXPECT_EQ(nlohmann::json::parse(state->body)["question"]["number"], 2);
}

TEST_F(EndpointTest, APanelActionWaitsForTheChatPostedBeforeIt) {
    ASSERT_TRUE(Post("/api/chat", R"({"id": 1, "name": "a", "text": "B"})"));
    ASSERT_TRUE(Post("/api/gift", R"({"id": 2, "name": "b", "value": 5})"));
    const auto next = Post("/api/panel", R"({"click": "BtnNextQue"})");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200) << next->body;
    // The game was asked to judge both viewers' events before the click was applied.
    const std::vector<std::pair<std::uint64_t, std::size_t>> waited = {{2, 0}};
    EXPECT_EQ(show_.Waits(), waited);
}

TEST(EndpointAddress, ListenAddressesAndTokens) {
    std::string address;
    int port = 0;
    EXPECT_TRUE(show::ParseListenAddress("127.0.0.1:8719", address, port));
    EXPECT_EQ(address, "127.0.0.1");
    EXPECT_EQ(port, 8719);
    EXPECT_TRUE(show::ParseListenAddress("[::1]:80", address, port));
    EXPECT_EQ(address, "::1");
    for (const char* bad :
         {"127.0.0.1", "127.0.0.1:", ":80", "::1:80", "host:65536", "h:-1", "h:80x", "[::1]80"})
        EXPECT_FALSE(show::ParseListenAddress(bad, address, port)) << bad;
    EXPECT_TRUE(show::IsLoopbackAddress("127.0.0.1"));
    EXPECT_FALSE(show::IsLoopbackAddress("0.0.0.0"));

    const std::string a = show::NewToken(), b = show::NewToken();
    EXPECT_EQ(a.size(), 32u);
    EXPECT_NE(a, b);
}

TEST(EndpointAddress, AnAddressInUseIsReported) {
    show_test::FakeShow show;
    show::EndpointOptions options;
    options.port = 0;
    options.token = kToken;
    show::Endpoint first(show, options);
    std::string error;
    ASSERT_TRUE(first.Start(error)) << error;
    options.port = first.Port();
    show::Endpoint second(show, options);
    EXPECT_FALSE(second.Start(error));
    EXPECT_NE(error.find("cannot listen"), std::string::npos) << error;
}

} // namespace
