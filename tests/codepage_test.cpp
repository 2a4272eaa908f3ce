// Code pages: Win32 conversion contracts over iconv.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "support/scoped_env.h"

namespace {

std::u16string ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0) {
    const int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                      nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                      out.data(), n),
                  n);
    }
    return out;
}

std::string ToBytes(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr,
                    const char* defaultChar = nullptr) {
    const int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, defaultChar, usedDefault);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0)
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                            defaultChar, usedDefault);
    return out;
}

TEST(CodePage, EachTestedCodePageRoundTripsItsOwnScript) {
    struct Case {
        UINT codePage;
        std::string bytes;
        std::u16string text;
    };
    const Case cases[] = {
        {65001, "\xE4\xB8\xAD \xF0\x9F\x98\x80", u"中 \U0001F600"},
        {936, "\xD6\xD0\xCE\xC4", u"中文"},
        {950, "\xA4\xA4\xA4\xE5", u"中文"},
        {932, "\x93\xFA\x96\x7B", u"日本"},
        {949, "\xC7\xD1\xB1\xB9", u"한국"},
        {1252, "caf\xE9 \x80", u"café €"},
        {20127, "plain", u"plain"},
        {28591, "caf\xE9", u"café"},
        {54936, "\xD6\xD0\x94\x39\xFC\x36", u"中\U0001F600"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
#ifdef _WIN32
        // Windows has GB18030; Wine 8 does not.
        if (c.codePage == 54936 && !IsValidCodePage(c.codePage)) continue;
#endif
        EXPECT_TRUE(IsValidCodePage(c.codePage));
        EXPECT_EQ(ToWide(c.codePage, c.bytes), c.text);
        EXPECT_EQ(ToBytes(c.codePage, c.text), c.bytes);
    }
    EXPECT_FALSE(IsValidCodePage(57002)); // ISCII: nothing converts it here
    EXPECT_FALSE(IsValidCodePage(12345));
}

TEST(CodePage, Utf8AroundLongAsciiRunsConvertsExactlyIntoBuffersOfExactlyItsSize) {
    // ASCII runs are widened many bytes at a time: the runs end on every offset, a sequence or
    // an invalid byte follows, and a buffer one unit short is refused rather than overrun.
    for (std::size_t run = 0; run <= 40; ++run) {
        SCOPED_TRACE(run);
        const std::string ascii(run, 'a');
        const std::u16string wideAscii(run, u'a');
        const std::string bytes = ascii + "\xE4\xB8\xAD" + ascii;
        const std::u16string text = wideAscii + u"中" + wideAscii;
        EXPECT_EQ(ToWide(CP_UTF8, bytes, MB_ERR_INVALID_CHARS), text);
        std::u16string tight(text.size() - 1, u'\0'); // with a size of 0 it would be a query
        if (!tight.empty()) {
            EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                          tight.data(), static_cast<int>(tight.size())),
                      0);
        }
        EXPECT_EQ(ToWide(CP_UTF8, ascii, MB_ERR_INVALID_CHARS), wideAscii);
        const std::string invalid = ascii + "\xFF" + ascii;
        EXPECT_EQ(ToWide(CP_UTF8, invalid), wideAscii + u"\uFFFD" + wideAscii);
        EXPECT_TRUE(ToWide(CP_UTF8, invalid, MB_ERR_INVALID_CHARS).empty());
    }
}

TEST(CodePage, FollowsTheWin32LengthContract) {
    char16_t buffer[8] = {};
    // -1: up to and including the terminator; the size query counts it too.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buffer, 8), 4);
    EXPECT_EQ(std::u16string(buffer, 4), std::u16string(u"abc\0", 4));
    // Too small a buffer, an empty source and bad arguments all fail with 0.
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abcdef", 6, buffer, 3), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buffer, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, buffer, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 8), 0);
    EXPECT_EQ(MultiByteToWideChar(57002, 0, "abc", 3, buffer, 8), 0);

    char bytes[8] = {};
    EXPECT_EQ(WideCharToMultiByte(936, 0, u"中", -1, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(WideCharToMultiByte(936, 0, u"中", -1, bytes, 8, nullptr, nullptr), 3);
    EXPECT_STREQ(bytes, "\xD6\xD0");
    EXPECT_EQ(WideCharToMultiByte(936, 0, u"中文", 2, bytes, 3, nullptr, nullptr), 0);
}

TEST(CodePage, InvalidInputBecomesReplacementOrFailsWhenAskedTo) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows gives a double-byte code page's own default character for a bad "
                    "sequence (U+30FB in 932, '?' in 936) and takes its trail byte with it";
#endif
    EXPECT_EQ(ToWide(CP_UTF8, "a\xFF"
                              "b\xE4\xB8"),
              u"a\uFFFD"
              "b\uFFFD");
    EXPECT_EQ(ToWide(936, "a\xD6"), u"a\uFFFD"); // lead byte cut short by the end
    EXPECT_EQ(ToWide(932, "\x85\x40x"), u"\uFFFD@x");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "a\xD6", 2, nullptr, 0), 0);

    // An unpaired surrogate goes to UTF-8 as U+FFFD, or fails with WC_ERR_INVALID_CHARS.
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    char bytes[16];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, lone, 3, bytes, 16, nullptr, nullptr), 5);
    EXPECT_EQ(std::string(bytes, 5), "a\xEF\xBF\xBD"
                                     "b");
    EXPECT_EQ(
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 3, bytes, 16, nullptr, nullptr),
        0);
}

TEST(CodePage, CharactersACodePageLacksBecomeTheDefaultCharacter) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows maps each half of a surrogate pair to a default character and "
                    "best-fits letters a code page lacks (é to e in 20127)";
#endif
    BOOL usedDefault = FALSE;
    EXPECT_EQ(ToBytes(1252, u"a中\U0001F600b", &usedDefault), "a??b"); // a pair is one character
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(ToBytes(20127, u"é", &usedDefault, "#"), "#");
    EXPECT_EQ(ToBytes(1252, u"é", &usedDefault), "\xE9");
    EXPECT_FALSE(usedDefault);
    // UTF-8 takes no default character, as on Windows.
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 0, "?", nullptr), 0);
}

TEST(CodePage, AnsiCodePageComesFromTheEnvironment) {
    {
        ScopedEnv acp("ASKGAME_ACP", "936");
        EXPECT_EQ(GetACP(), 936u);
        EXPECT_EQ(ToWide(CP_ACP, "\xD6\xD0"), u"中");
    }
    {
        ScopedEnv acp("ASKGAME_ACP", "1252");
        EXPECT_EQ(GetACP(), 1252u); // read again on every call
        EXPECT_EQ(ToWide(CP_ACP, "\xE9"), u"é");
    }
    ScopedEnv unset("ASKGAME_ACP", nullptr);
#ifdef _WIN32
    GTEST_SKIP() << "Windows takes the ANSI code page from the system, not from the locale";
#endif
    {
        ScopedEnv utf8("LC_ALL", "C.UTF-8");
        EXPECT_EQ(GetACP(), CP_UTF8);
    }
    ScopedEnv plain("LC_ALL", "C"); // the plain C locale names no code page
    EXPECT_EQ(GetACP(), CP_UTF8);
    ScopedEnv bogus("ASKGAME_ACP", "not-a-code-page");
    EXPECT_EQ(GetACP(), CP_UTF8);
}

} // namespace
