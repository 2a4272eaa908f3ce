// What chat platforms' lines and sources' names become: IRC lines with Twitch's tags, viewers'
// messages, bits and subscriptions as gifts, the show's events they make, the viewer ids they get.
#include <gtest/gtest.h>

#include <filesystem>

#include "show/chat/chat_sources.h"
#include "show/chat/irc_events.h"
#include "show/chat/irc_line.h"
#include "show/chat/viewer_directory.h"
#include "show/chat/viewer_event.h"
#include "show/live_events.h"

namespace {

using namespace show::chat;

std::vector<PlatformEvent> Events(std::string_view text, GiftValues values = {}) {
    const auto line = ParseIrcLine(text);
    EXPECT_TRUE(line) << text;
    return line ? ViewerEventsOf(*line, "irc:example.org", values) : std::vector<PlatformEvent>{};
}

TEST(IrcLines, TagsPrefixCommandAndParamsAreReadAndEscapesUndone) {
    const auto line = ParseIrcLine(
        R"(@badge-info=;display-name=Ann\sLee;bits=100;note=a\:b\\c\;flag :ann!ann@ann.tmi.twitch.tv PRIVMSG #quiz :cheer100 B  two spaces)");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->Tag("display-name"), "Ann Lee");
    EXPECT_EQ(line->Tag("note"), "a;b\\c");
    EXPECT_EQ(line->Tag("flag"), "");
    EXPECT_EQ(line->Tag("badge-info"), "");
    EXPECT_FALSE(line->Tag("user-id"));
    EXPECT_EQ(line->Nick(), "ann");
    EXPECT_EQ(line->command, "PRIVMSG");
    ASSERT_EQ(line->params.size(), 2u);
    EXPECT_EQ(line->params[0], "#quiz");
    EXPECT_EQ(line->params[1], "cheer100 B  two spaces");

    const auto ping = ParseIrcLine("PING :tmi.twitch.tv");
    ASSERT_TRUE(ping);
    EXPECT_EQ(ping->command, "PING");
    EXPECT_EQ(ping->params, std::vector<std::string>{"tmi.twitch.tv"});
    EXPECT_EQ(ParseIrcLine(":irc.example.org 001 me :Welcome")->command, "001");

    for (std::string_view bad : {"", "@only=tags", ":prefix.only", "PRIV-MSG x", "12 x", "0001 x",
                                 "PRIVMSG #a :cut\r\nPRIVMSG #b :b"})
        EXPECT_FALSE(ParseIrcLine(bad)) << bad;
    EXPECT_FALSE(ParseIrcLine("PRIVMSG #a :" + std::string(kMaxIrcLineBytes, 'x')));
}

TEST(IrcEvents, TwitchViewersAreTheirIdsAndBitsAndSubscriptionsAreGifts) {
    const auto chat =
        Events("@display-name=王小明;user-id=1001 :wxm!wxm@wxm.tmi.twitch.tv PRIVMSG #quiz :B");
    ASSERT_EQ(chat.size(), 1u);
    EXPECT_EQ(chat[0].kind, PlatformEvent::Kind::Chat);
    EXPECT_EQ(chat[0].platform, "twitch");
    EXPECT_EQ(chat[0].viewerId, "1001");
    EXPECT_EQ(chat[0].name, "王小明");
    EXPECT_EQ(chat[0].text, "B");

    const auto cheer =
        Events("@bits=250;display-name=Ann;user-id=7 :ann!ann@x PRIVMSG #quiz :Cheer250 go");
    ASSERT_EQ(cheer.size(), 2u);
    EXPECT_EQ(cheer[0].kind, PlatformEvent::Kind::Gift);
    EXPECT_EQ(cheer[0].worth, 250u);
    EXPECT_EQ(cheer[1].text, "Cheer250 go");

    const GiftValues values{400};
    const auto sub = Events("@msg-id=sub;msg-param-sub-plan=1000;user-id=7;display-name=Ann "
                            ":tmi.twitch.tv USERNOTICE #quiz",
                            values);
    ASSERT_EQ(sub.size(), 1u);
    EXPECT_EQ(sub[0].worth, 400u);
    const auto resub = Events("@msg-id=resub;msg-param-sub-plan=3000;user-id=7;display-name=Ann "
                              ":tmi.twitch.tv USERNOTICE #quiz :twelve months!",
                              values);
    ASSERT_EQ(resub.size(), 2u);
    EXPECT_EQ(resub[0].worth, 2000u) << "tier 3 counts five times";
    EXPECT_EQ(resub[1].text, "twelve months!");
    const auto mystery =
        Events("@msg-id=submysterygift;msg-param-mass-gift-count=5;msg-param-sub-plan=2000;user-id="
               "9;display-name=Bo :tmi.twitch.tv USERNOTICE #quiz",
               values);
    ASSERT_EQ(mystery.size(), 1u);
    EXPECT_EQ(mystery[0].worth, 5u * 800u);
    EXPECT_EQ(mystery[0].viewerId, "9");
    // Each sub of a mystery gift comes after it with its id, already counted; a gift alone counts.
    EXPECT_TRUE(Events("@msg-id=subgift;msg-param-community-gift-id=42;user-id=9 :tmi.twitch.tv "
                       "USERNOTICE #quiz")
                    .empty());
    EXPECT_EQ(Events("@msg-id=subgift;user-id=9 :tmi.twitch.tv USERNOTICE #quiz", values)[0].worth,
              400u);
    EXPECT_TRUE(Events("@msg-id=raid;user-id=9 :tmi.twitch.tv USERNOTICE #quiz").empty());
    // A server claiming a fortune is taken at the most one event may be worth.
    EXPECT_EQ(Events("@bits=99999999999999;user-id=1 :a!a@a PRIVMSG #q :x")[0].worth,
              kMaxEventWorth);
    EXPECT_EQ(Events("@msg-id=submysterygift;msg-param-mass-gift-count=18446744073709551615;user-"
                     "id=9 :t USERNOTICE #q")[0]
                  .worth,
              kMaxEventWorth);
}

TEST(IrcEvents, PlainIrcViewersAreTheirNicksOnTheirServer) {
    const auto chat = Events(":Kim!kim@host PRIVMSG #quiz :Pacific");
    ASSERT_EQ(chat.size(), 1u);
    EXPECT_EQ(chat[0].platform, "irc:example.org");
    EXPECT_EQ(chat[0].viewerId, "kim");
    EXPECT_EQ(chat[0].name, "Kim");
    EXPECT_TRUE(Events("PRIVMSG #quiz :no sender").empty());
    EXPECT_TRUE(Events(":Kim!kim@host PRIVMSG #quiz").empty());
    EXPECT_TRUE(Events(":Kim!kim@host NOTICE #quiz :hello").empty());
}

TEST(ShowEvents, GiftsSplitIntoCountsAndTextsAreCutToWhatTheShowTakes) {
    PlatformEvent gift;
    gift.kind = PlatformEvent::Kind::Gift;
    gift.worth = 70000;
    const auto gifts = ShowEventsOf(gift, 5);
    ASSERT_EQ(gifts.size(), 2u);
    EXPECT_EQ(gifts[0].giftCount + gifts[1].giftCount, 70000);
    EXPECT_EQ(gifts[0].giftValue, 1);
    gift.worth = 99999999999999;
    EXPECT_EQ(ShowEventsOf(gift, 5).size(), 16u);

    PlatformEvent chat;
    chat.name = std::string(2000, 'n');
    chat.text = std::string(10000, 't') + "\xff";
    const auto shown = ShowEventsOf(chat, 5);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].viewer.id, 5u);
    EXPECT_EQ(shown[0].chatKind, AudienceKind::Text) << "a kind both games read";
    EXPECT_EQ(shown[0].viewer.name.size(), show::kMaxNameUnits);
    EXPECT_EQ(shown[0].text.size(), show::kMaxTextUnits);
    EXPECT_FALSE(IsUtf8("a\xff"));
    EXPECT_TRUE(IsUtf8("王小明"));
}

TEST(ChatSourceNames, TwitchAndIrcSourcesNameTheirServerAndChannel) {
    std::string error;
    const auto twitch = ParseIrcSource("twitch:QuizNight", error);
    ASSERT_TRUE(twitch) << error;
    EXPECT_EQ(twitch->host, kTwitchHost);
    EXPECT_EQ(twitch->port, kIrcTlsPort);
    EXPECT_TRUE(twitch->tls);
    EXPECT_EQ(twitch->channel, "quiznight");
    const auto irc = ParseIrcSource("irc://Irc.Example.org:7000/%23quiz", error);
    ASSERT_TRUE(irc) << error;
    EXPECT_EQ(irc->host, "Irc.Example.org");
    EXPECT_EQ(irc->port, 7000);
    EXPECT_FALSE(irc->tls);
    EXPECT_EQ(irc->channel, "quiz");
    EXPECT_EQ(irc->platform, "irc:irc.example.org");
    EXPECT_EQ(ParseIrcSource("ircs://[::1]/quiz", error)->host, "::1");
    EXPECT_EQ(ParseIrcSource("ircs://localhost/quiz", error)->port, kIrcTlsPort);
    for (const char* bad : {"twitch:", "twitch:a b", "irc://host", "irc:///quiz", "irc://host:0/q",
                            "irc://host:99999/q", "irc://host/#quiz", "irc://host/a,b",
                            "youtube:", "http://host/quiz", "quiz"})
        EXPECT_FALSE(ParseIrcSource(bad, error)) << bad;
}

TEST(ViewerIds, APlatformsViewerKeepsOneIdAcrossShowsAndPlatformsNeverShareOne) {
    const std::string path = ::testing::TempDir() + "/viewer-ids.db";
    std::filesystem::remove(path);
    std::uint32_t ann = 0;
    {
        ViewerDirectory viewers(path);
        ann = viewers.IdOf("twitch", "1001");
        EXPECT_GE(ann, season::kFirstPlatformViewer);
        EXPECT_NE(viewers.IdOf("youtube", "1001"), ann);
        EXPECT_NE(viewers.IdOf("irc:example.org", "1001"), ann);
        EXPECT_EQ(viewers.IdOf("twitch", "1001"), ann);
        EXPECT_EQ(viewers.Error(), "");
    }
    ViewerDirectory again(path);
    EXPECT_EQ(again.IdOf("twitch", "1001"), ann) << "a new show gives the viewer the same id";
    EXPECT_EQ(season::SeasonStore(path).PlatformOf(ann), "twitch");

    ViewerDirectory inMemory;
    EXPECT_NE(inMemory.IdOf("twitch", "1"), inMemory.IdOf("twitch", "2"));
    EXPECT_EQ(inMemory.IdOf("twitch", "1"), inMemory.IdOf("twitch", "1"));
}

} // namespace
