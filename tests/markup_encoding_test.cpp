// Loading markup files whatever their encoding.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>

#include "markup/encoding_names.h"
#include "markup/markup_document.h"
#include "platform/codepage.h"
#include "platform/file.h"
#include "support/scoped_env.h"

namespace {

namespace fs = std::filesystem;

class MarkupFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("askgame-markup-" + std::to_string(::getpid()) + "-" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes `bytes` to a file in the test's folder; returns its Windows-shaped path.
    std::u16string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return FromNativePath((dir_ / name).string());
    }

    fs::path dir_;
};

std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

std::string Utf32LE(const std::u32string& text) {
    std::string bytes;
    for (char32_t c : text)
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((c >> shift) & 0xFF);
    return bytes;
}

bool Logged(const CMarkupDocument& doc, std::u16string_view what) {
    return doc.GetResult().find(what) != std::u16string::npos;
}

TEST_F(MarkupFiles, TheThreeByteOrderMarksGiveTheSameText) {
    const std::u16string text = u"<r a=\"é\">中文 \U0001F600</r>";
    CMarkupDocument utf8, le, be;
    EXPECT_TRUE(
        utf8.LoadFile(Write("8.xml", "\xEF\xBB\xBF<r a=\"\xC3\xA9\">\xE4\xB8\xAD\xE6\x96\x87 "
                                     "\xF0\x9F\x98\x80</r>")));
    EXPECT_TRUE(le.LoadFile(Write("le.xml", "\xFF\xFE" + Utf16(text, false))));
    EXPECT_TRUE(be.LoadFile(Write("be.xml", "\xFE\xFF" + Utf16(text, true))));
    EXPECT_EQ(utf8.GetDoc(), text);
    EXPECT_EQ(le.GetDoc(), text);
    EXPECT_EQ(be.GetDoc(), text);
    EXPECT_TRUE(Logged(be, u"<endian_swap/>"));
    ASSERT_TRUE(be.FindElement(u"r"));
    EXPECT_EQ(be.GetAttribute(u"a"), u"é");
}

TEST_F(MarkupFiles, UnmarkedTextIsUtf8WhenValidAndAnsiOtherwise) {
    ScopedEnv acp("ASKGAME_ACP", "1252");
    CMarkupDocument ascii, utf8, ansi;
    EXPECT_TRUE(ascii.LoadFile(Write("a.xml", "<r>plain</r>")));
    EXPECT_EQ(ascii.GetDoc(), u"<r>plain</r>");
    EXPECT_TRUE(utf8.LoadFile(Write("u.xml", "<r>caf\xC3\xA9</r>")));
    EXPECT_EQ(utf8.GetDoc(), u"<r>café</r>");
    EXPECT_TRUE(Logged(utf8, u"<utf8_detection encoding=\"UTF-8\"/>"));
    EXPECT_TRUE(ansi.LoadFile(Write("w.xml", "<r>caf\xE9 \x80</r>")));
    EXPECT_EQ(ansi.GetDoc(), u"<r>café €</r>");
    EXPECT_TRUE(Logged(ansi, u"<utf8_detection encoding=\"ANSI\"/>"));
}

// Long UTF-8 text is converted in pieces; wherever a piece ends, the text is the one a single
// conversion of the whole gives, invalid sequences included (each becomes one U+FFFD).
TEST(MarkupUtf8, LongTextDecodesAsOneConversionOfTheWhole) {
    const std::string pattern = "a\xE2\x82\xAC\xF0\x9F\x98\x80\xC3\xA9"       // a € 😀 é
                                "\xE2\x82 \x80\x80\x80\x80\x80x\xF0\x9F\x98"; // broken
    auto whole = [](const std::string& bytes, DWORD flags) {
        std::u16string text(bytes.size(), u'\0');
        const int units =
            MultiByteToWideChar(CP_UTF8, flags, bytes.data(), static_cast<int>(bytes.size()),
                                text.data(), static_cast<int>(text.size()));
        text.resize(static_cast<std::size_t>(units));
        return text;
    };
    for (std::size_t shift = 0; shift < pattern.size(); ++shift) {
        std::string body(shift, 'p');
        while (body.size() < 40'000)
            body += pattern;
        const std::string bytes = "<?xml version=\"1.0\" encoding=\"utf-8\"?><r>" + body + "</r>";
        CMarkupDocument doc;
        doc.LoadBytes(bytes);
        ASSERT_EQ(doc.GetDoc(), whole(bytes, 0)) << "shift " << shift;
    }
    // Undeclared: valid UTF-8 throughout is UTF-8, one bad byte near the end makes it ANSI.
    ScopedEnv acp("ASKGAME_ACP", "1252");
    std::string valid = "<r>";
    while (valid.size() < 40'000)
        valid += "caf\xC3\xA9 \xE2\x82\xAC ";
    CMarkupDocument utf8, ansi;
    utf8.LoadBytes(valid + "</r>");
    EXPECT_EQ(utf8.GetDoc(), whole(valid + "</r>", 0));
    ansi.LoadBytes(valid + "\xE9</r>");
    EXPECT_EQ(ansi.GetDoc().substr(0, 4), u"<r>c");
    EXPECT_EQ(ansi.GetDoc()[4], u'a');
    EXPECT_EQ(ansi.GetDoc()[5], u'f');
    EXPECT_EQ(ansi.GetDoc()[6], u'\u00C3'); // the UTF-8 bytes of é read one by one
}

TEST_F(MarkupFiles, DeclaredEncodingIsMatchedInAnyCase) {
    ScopedEnv acp("ASKGAME_ACP", "1252"); // so that a wrong fallback would show
    CMarkupDocument doc;
    EXPECT_TRUE(doc.LoadFile(
        Write("gb.xml", "<?xml version=\"1.0\" encoding=\"GB2312\"?><r>\xD6\xD0\xCE\xC4</r>")));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_EQ(doc.GetContent(), u"中文");

    EXPECT_EQ(markup::CodePageOfEncoding(u"Shift_JIS"), 932u);
    EXPECT_EQ(markup::CodePageOfEncoding(u"UTF-32"), markup::kReaderUtf32);
    EXPECT_EQ(markup::CodePageOfEncoding(u"cp1256 "), 1256u); // stored with its trailing space
    EXPECT_EQ(markup::CodePageOfEncoding(u""), markup::kAnsiCodePage);
    EXPECT_EQ(markup::CodePageOfEncoding(u"no-such-encoding"), markup::kAnsiCodePage);
    EXPECT_EQ(markup::CodePageOfEncoding(std::u16string(100, u'a')), markup::kAnsiCodePage);

    std::set<std::uint32_t> codePages;
    for (const auto& entry : markup::EncodingNames())
        codePages.insert(entry.codePage);
    EXPECT_EQ(markup::EncodingNames().size(), 365u);
    EXPECT_EQ(codePages.size(), 110u);
}

TEST_F(MarkupFiles, Utf32IsConvertedWithSurrogatePairsAndNullUnitsDropped) {
    CMarkupDocument doc;
    const std::string bytes =
        Utf32LE(U"<?xml version=\"1.0\" encoding=\"utf-32\"?><r>a\U0001F600b</r>");
    EXPECT_TRUE(doc.LoadFile(Write("32.xml", bytes)));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_EQ(doc.GetContent(), u"a\U0001F600b");

    CMarkupDocument nulls;
    EXPECT_TRUE(nulls.LoadFile(Write("n.xml", std::string("<r>a\0b\0</r>", 11))));
    EXPECT_EQ(nulls.GetDoc(), u"<r>ab</r>");
    EXPECT_TRUE(Logged(nulls, u"<nulls_removed count=\"2\"/>"));
}

TEST_F(MarkupFiles, HtmlMetaElementNamesTheCharset) {
    CMarkupDocument doc;
    doc.LoadFile(Write("h.html", "<HTML><head><title>x</title>"
                                 "<meta http-equiv=\"Content-Type\" content=\"text/html; "
                                 "charset=big5\"></head><body>\xA4\xA4</body></HTML>"));
    EXPECT_NE(doc.GetDoc().find(u"<body>中</body>"), std::u16string::npos);
}

TEST_F(MarkupFiles, AWideDeclarationInAByteFileIsNotBelieved) {
    CMarkupDocument doc;
    EXPECT_TRUE(
        doc.LoadFile(Write("w.xml", "<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>ok</r>")));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_EQ(doc.GetContent(), u"ok");
}

TEST_F(MarkupFiles, UnconvertibleCodePageFallsBackToAnsiAndSaysSo) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows converts x-mac-thai (cp10021)";
#endif
    ScopedEnv acp("ASKGAME_ACP", "1252");
    CMarkupDocument doc;
    EXPECT_TRUE(doc.LoadFile(
        Write("m.xml", "<?xml version=\"1.0\" encoding=\"x-mac-thai\"?><r>caf\xE9</r>")));
    EXPECT_NE(doc.GetDoc().find(u"café"), std::u16string::npos);
    EXPECT_TRUE(Logged(doc, u"cp10021 not supported, using ANSI cp1252"));
}

TEST_F(MarkupFiles, AMissingFileEmptiesTheDocument) {
    CMarkupDocument doc;
    ASSERT_TRUE(doc.LoadFile(Write("ok.xml", "<r><c/></r>")));
    ASSERT_TRUE(doc.FindElement(u"r"));
    EXPECT_FALSE(doc.LoadFile(FromNativePath((dir_ / "missing.xml").string())));
    EXPECT_EQ(doc.GetDoc(), u"");
    EXPECT_TRUE(Logged(doc, u"<file_error"));
    EXPECT_FALSE(doc.FindElement());
    EXPECT_EQ(doc.GetTagName(), u"");
    EXPECT_FALSE(doc.LoadFile(FromNativePath(dir_.string()))); // a folder cannot be read either
}

} // namespace
