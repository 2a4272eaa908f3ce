// Text and paths crossing into the Linux system.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file.h"
#include "platform/utf.h"

namespace {

TEST(Utf, RoundTripsAcrossAllPlanes) {
    const std::u16string text = u"abc 你好 \U0001F600 é";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Utf, BrokenInputBecomesReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf8ToUtf16("a\xC3"), u"a\uFFFD");       // cut short
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");     // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD"); // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xFF"
                          "b"),
              u"\uFFFD"
              "b");
}

TEST(Files, WindowsShapedPathsReachTheFileSystem) {
    const auto dir = std::filesystem::temp_directory_path() / u8"askgame-file-test-目录";
    std::filesystem::remove_all(dir);
    // The path as UTF-8 whatever the locale: a narrow string() would go through the ANSI code
    // page on Windows, which holds no 目录 where no locale is set.
    const std::u8string utf8 = dir.u8string();
    const std::u16string wide = FromNativePath(std::string(utf8.begin(), utf8.end()));
    EXPECT_EQ(wide.find(u'/'), std::u16string::npos);

    EXPECT_FALSE(PathFileExistsW(wide.c_str()));
    EXPECT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryW(wide.c_str(), nullptr)); // exists already
    EXPECT_EQ(GetFileAttributesW(wide.c_str()), FILE_ATTRIBUTE_DIRECTORY);

    const std::u16string file = wide + u"\\a.txt";
    FILE* f = _wfopen(file.c_str(), u"wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(GetFileAttributesW(file.c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(_wfopen((wide + u"\\missing").c_str(), u"rb"), nullptr);
    std::filesystem::remove_all(dir);
}

} // namespace
