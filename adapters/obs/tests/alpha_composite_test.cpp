// The overlay the OBS source hands over must look, placed over any picture by OBS, as if the
// game had been drawn on that picture itself.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "adapters/obs/canvas.h"
#include "adapters/obs/clipboard.h"
#include "adapters/obs/source_settings.h"
#include "render/blend.h"
#include "render/frame_view.h"

namespace {

constexpr int kWidth = 97; // not a multiple of the kernels' widths
constexpr int kHeight = 61;

using Pixels = std::vector<BYTE>;

struct Sprite {
    Pixels pixels;
    int width, height, left, top;
};

// Sprites that overlap each other and stick out of the frame, with every kind of alpha.
std::vector<Sprite> RandomSprites(std::mt19937& random) {
    // Every sprite overlaps the frame (a sprite wholly outside it is refused, not drawn).
    std::uniform_int_distribution<int> byte(0, 255), side(21, 60), x(-20, kWidth - 1),
        y(-20, kHeight - 1);
    std::vector<Sprite> sprites;
    for (int n = 0; n < 12; ++n) {
        Sprite s{{}, side(random), side(random), x(random), y(random)};
        s.pixels.resize(std::size_t(s.width) * s.height * 4);
        const int kind = n % 3; // opaque, fully transparent holes, anything
        for (std::size_t i = 0; i < s.pixels.size(); i += 4) {
            for (int c = 0; c < 3; ++c)
                s.pixels[i + c] = BYTE(byte(random));
            const int a = byte(random);
            s.pixels[i + 3] = BYTE(kind == 0 ? 255 : kind == 1 ? (a < 128 ? 0 : 255) : a);
        }
        sprites.push_back(std::move(s));
    }
    return sprites;
}

void DrawAll(const std::vector<Sprite>& sprites, Pixels& frame) {
    const FrameView view = HostFrameView(frame.data(), kWidth, -kHeight); // top-down, as OBS
    for (const Sprite& s : sprites) {
        RECT dst{s.left, s.top, s.left + s.width, s.top + s.height};
        RECT src{0, 0, s.width, s.height};
        ASSERT_EQ(AlphaBlendOnto(view, s.pixels.data(), unsigned(s.width), unsigned(s.height),
                                 s.width * 4, &dst, &src),
                  S_OK);
    }
}

// OBS's blending of a straight-alpha source over what lies below it, in 8 bits with rounding.
BYTE StraightOver(BYTE colour, BYTE alpha, BYTE below) {
    return BYTE((colour * alpha + below * (255 - alpha) + 127) / 255);
}

// Within one step nearly everywhere: the direct blend and the canvas each drop a fraction
// below 1 when they truncate, and the 8-bit coverage and straight colour round once more, so a
// channel can end up 2 apart in the rare case where those add up (about 1 in 20,000 for one
// sprite of any alpha over any picture); never more than that, however many sprites overlap.
TEST(AlphaCanvas, TheOverlayOverAPictureEqualsTheGameDrawnOnIt) {
    std::mt19937 random(17);
    std::uniform_int_distribution<int> byte(0, 255);
    long channels = 0;
    long offByTwo = 0;
    for (int round = 0; round < 20; ++round) {
        const auto sprites = RandomSprites(random);
        Pixels picture(std::size_t(kWidth) * kHeight * 4);
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = BYTE(i % 4 == 3 ? 255 : byte(random));
        Pixels direct = picture;
        DrawAll(sprites, direct);
        Pixels canvas(picture.size(), 0);
        DrawAll(sprites, canvas);
        obs_adapter::PremultipliedToStraight(canvas.data(), std::size_t(kWidth) * kHeight);

        for (std::size_t i = 0; i < picture.size(); i += 4) {
            ASSERT_EQ(direct[i + 3], 255) << "an opaque frame stays opaque";
            for (int c = 0; c < 3; ++c, ++channels) {
                const int composite = StraightOver(canvas[i + c], canvas[i + 3], picture[i + c]);
                const int off = std::abs(composite - direct[i + c]);
                ASSERT_LE(off, 2) << "round " << round << ", byte " << i + c;
                offByTwo += off == 2;
            }
        }
    }
    std::printf("%ld of %ld channels 2 apart\n", offByTwo, channels);
    EXPECT_LT(offByTwo * 1000, channels) << "more than 1 in 1000 channels are 2 apart";
}

TEST(AlphaCanvas, OnlyATransparentFrameTakesCoverage) {
    Pixels frame(std::size_t(kWidth) * kHeight * 4, 0);
    EXPECT_TRUE(HostFrameView(frame.data(), kWidth, kHeight).withAlpha);
    EXPECT_TRUE(HostFrameView(frame.data(), kWidth, -kHeight).withAlpha);
    frame[3] = 255; // a camera frame: opaque from its first pixel
    EXPECT_FALSE(HostFrameView(frame.data(), kWidth, kHeight).withAlpha);
    frame[3] = 0;
    frame.back() = 255;
    EXPECT_FALSE(HostFrameView(frame.data(), kWidth, -kHeight).withAlpha);

    // Where nothing was drawn the canvas stays fully transparent; under an opaque sprite it is
    // opaque enough that the picture below cannot show through by more than a step.
    Pixels canvas(std::size_t(kWidth) * kHeight * 4, 0);
    Pixels red(4 * 4 * 4);
    for (std::size_t i = 0; i < red.size(); i += 4)
        red[i + 2] = red[i + 3] = 255;
    DrawAll({{red, 4, 4, 10, 10}}, canvas);
    // Rows counted from the picture's bottom, as sprites are placed; the canvas is top-down.
    const auto at = [&](int x, int y) {
        return &canvas[(std::size_t(kHeight - 1 - y) * kWidth + x) * 4];
    };
    EXPECT_EQ(at(0, 0)[3], 0);
    EXPECT_EQ(at(20, 20)[3], 0);
    EXPECT_GE(at(11, 11)[3], 254);
    EXPECT_GE(at(11, 11)[2], 253);
}

TEST(AlphaCanvas, StraightColoursAreTheRoundedQuotient) {
    std::vector<std::uint8_t> pixels;
    for (unsigned alpha = 1; alpha < 255; ++alpha)
        for (unsigned colour = 0; colour <= alpha; ++colour)
            pixels.insert(pixels.end(), {BYTE(colour), BYTE(colour), BYTE(colour), BYTE(alpha)});
    pixels.insert(pixels.end(), {9, 8, 7, 255}); // opaque: as it is
    obs_adapter::PremultipliedToStraight(pixels.data(), pixels.size() / 4);
    std::size_t i = 0;
    for (unsigned alpha = 1; alpha < 255; ++alpha)
        for (unsigned colour = 0; colour <= alpha; ++colour, i += 4)
            ASSERT_EQ(pixels[i], (colour * 255 + alpha / 2) / alpha) << colour << "/" << alpha;
    EXPECT_EQ(pixels[i], 9);
    EXPECT_EQ(pixels[i + 2], 7);
}

TEST(CanvasRing, HandsOutClearedCanvasesInTurnAndRefusesImpossibleSizes) {
    obs_adapter::CanvasRing ring(8, 4);
    std::uint8_t* first = ring.Next();
    ASSERT_NE(first, nullptr);
    first[5] = 9;
    std::uint8_t* second = ring.Next();
    EXPECT_NE(second, first);
    EXPECT_EQ(ring.Next(), first);
    EXPECT_EQ(first[5], 0) << "cleared on reuse";
    EXPECT_EQ(obs_adapter::CanvasRing(0, 4).Next(), nullptr);
    EXPECT_EQ(obs_adapter::CanvasRing(1 << 30, 1 << 30).Next(), nullptr);
    EXPECT_FALSE(obs_adapter::CanvasBytes(-1, 5));
}

TEST(SourceSettings, TakesWhatTheGameCanPlayAndOnlyAnEndpointOnThisMachine) {
    using obs_adapter::ReadSettings;
    std::string error;
    const auto defaults = ReadSettings({}, error);
    ASSERT_TRUE(defaults) << error;
    EXPECT_EQ(defaults->mode, hosting::GameMode::Free);
    EXPECT_EQ(defaults->lcid, 0u);
    EXPECT_EQ(defaults->address, "127.0.0.1");
    EXPECT_EQ(defaults->port, 8719);
    // A show counts for the season askgame-host keeps by default unless told otherwise.
    EXPECT_EQ(defaults->season, show::SeasonOptions{});

    const auto spring = ReadSettings({.season = "spring", .seasonOff = true}, error);
    ASSERT_TRUE(spring) << error;
    EXPECT_EQ(spring->season.season, "spring");
    EXPECT_TRUE(spring->season.off);

    const auto chat = ReadSettings({.chat = " twitch:quiz  irc://irc.example.org/%23quiz "}, error);
    ASSERT_TRUE(chat) << error;
    EXPECT_EQ(chat->chat,
              (std::vector<std::string>{"twitch:quiz", "irc://irc.example.org/%23quiz"}));
    EXPECT_FALSE(ReadSettings({.chat = "twitch:quiz irc://nowhere"}, error));
    EXPECT_NE(error.find("chat: no channel in"), std::string::npos) << error;

    const auto chosen = ReadSettings(
        {.mode = "challenge", .banks = "/banks", .endpoint = "[::1]:9000", .language = 2052},
        error);
    ASSERT_TRUE(chosen) << error;
    EXPECT_EQ(chosen->mode, hosting::GameMode::Challenge);
    EXPECT_EQ(chosen->lcid, 2052u);
    EXPECT_EQ(chosen->address, "::1");
    EXPECT_EQ(chosen->port, 9000);

    // Anyone who can reach the endpoint drives the show: it never listens beyond this machine.
    for (const char* endpoint :
         {"0.0.0.0:8719", "192.168.1.2:8719", "127.0.0.1", "127.0.0.1:0x1F"}) {
        error.clear();
        EXPECT_FALSE(ReadSettings({.endpoint = endpoint}, error)) << endpoint;
        EXPECT_NE(error.find("endpoint"), std::string::npos) << error;
    }
    EXPECT_FALSE(ReadSettings({.mode = "quiz"}, error));
    EXPECT_FALSE(ReadSettings({.language = 1041}, error)) << "no Japanese files";
}

// The presenter's address reaches the clipboard through the desktop's own tool, here a stand-in
// for xclip that keeps what it was given; without a tool the copy says why.
TEST(Clipboard, TheAddressGoesToTheDesktopsClipboardTool) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("askgame-clipboard-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto kept = dir / "kept.txt";
    std::ofstream(dir / "xclip") << "#!/bin/sh\nexec /bin/cat > '" << kept.string() << "'\n";
    std::filesystem::permissions(dir / "xclip", std::filesystem::perms::owner_all);
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    const char* display = std::getenv("DISPLAY");
    const std::string savedDisplay = display ? display : "";
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const std::string savedWayland = wayland ? wayland : "";
    unsetenv("WAYLAND_DISPLAY");
    setenv("DISPLAY", ":99", 1);
    setenv("PATH", dir.c_str(), 1);
    std::string error;
    EXPECT_TRUE(obs_adapter::CopyToClipboard("http://127.0.0.1:8719/?token=abc", error)) << error;
    std::ifstream in(kept);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "http://127.0.0.1:8719/?token=abc");
    unsetenv("DISPLAY");
    EXPECT_FALSE(obs_adapter::CopyToClipboard("x", error));
    EXPECT_NE(error.find("no clipboard tool"), std::string::npos) << error;
    setenv("PATH", path.c_str(), 1);
    if (display) setenv("DISPLAY", savedDisplay.c_str(), 1);
    if (wayland) setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
    std::filesystem::remove_all(dir);
}

} // namespace
