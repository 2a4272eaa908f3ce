// The filter's live show reading an IRC channel named in its chat parameter (Debian's ngircd on
// loopback), and the parameter refused where it cannot work.
#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <string>
#include <vector>

#include "adapters/frei0r/tests/filter_harness.h"
#include "tests/show/chat_support.h"
#include "tests/support/free_port.h"

namespace {

using frei0r_test::Instance;

// The parameters in the filter's order: scenario, mode, language, endpoint, banks, season, chat.
std::vector<std::string> Live(const std::string& endpoint, const std::string& chat) {
    return {"", "free", "en", endpoint, "", "off", chat};
}

class FilterChat : public ::testing::Test {
protected:
    static void SetUpTestSuite() { filter_ = new frei0r_test::Filter(frei0r_test::OpenFilter()); }
    void SetUp() override { ASSERT_TRUE(filter_->library) << dlerror(); }

    static frei0r_test::Filter* filter_;
};

frei0r_test::Filter* FilterChat::filter_ = nullptr;

TEST_F(FilterChat, AChannelNamedInTheParametersReachesTheShow) {
    ASSERT_TRUE(chat_test::fs::exists("/usr/sbin/ngircd")) << "ngircd is missing";
    const auto dir = chat_test::fs::path(::testing::TempDir()) / "askgame-frei0r-chat";
    chat_test::fs::remove_all(dir);
    chat_test::fs::create_directories(dir);
    const int ircPort = chat_test::FreePort();
    chat_test::IrcServer irc(dir, ircPort);
    const int port = FreeLoopbackPort();
    setenv("ASKGAME_TOKEN", "frei0r-chat-token", 1);
    ::testing::internal::CaptureStderr();
    Instance filter(*filter_, 160, 90,
                    Live("127.0.0.1:" + std::to_string(port),
                         " irc://127.0.0.1:" + std::to_string(ircPort) + "/quiz  "));
    long index = 0;
    filter.Frame(index++);
    ::testing::internal::GetCapturedStderr();
    httplib::Client client("127.0.0.1", port);
    client.set_bearer_token_auth("frei0r-chat-token");
    auto chat = [&] {
        filter.Frame(index++); // the state is the video thread's, read after each frame
        const auto state = client.Get("/api/state");
        return state ? nlohmann::json::parse(state->body)["chat"] : nlohmann::json();
    };
    ASSERT_TRUE(chat_test::WaitFor([&] { return chat()[0]["state"] == "live"; })) << chat().dump();
    chat_test::SayOnIrc(ircPort, "Ming", "B");
    EXPECT_TRUE(chat_test::WaitFor([&] { return chat()[0]["messages"] == 1; })) << chat().dump();
}

TEST_F(FilterChat, ChatWithoutAnEndpointOrWithABadSourceIsRefused) {
    const std::string endpoint = "127.0.0.1:" + std::to_string(FreeLoopbackPort());
    for (const auto& [values, said] :
         {std::pair{Live("", "twitch:quiz"), "chat: the show reads chat only with an endpoint"},
          std::pair{Live(endpoint, "irc://nowhere"), "chat: no channel in \"irc://nowhere\""}}) {
        ::testing::internal::CaptureStderr();
        Instance filter(*filter_, 160, 90, values);
        filter.Frame(0);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(said), std::string::npos) << said;
    }
}

} // namespace
