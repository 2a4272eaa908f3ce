// Data files that fail quietly would leave a presenter with blank texts or an empty panel: each
// failure leaves a trace that names the file and the reason.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "support/panel_harness.h"
#include "ui/free_mode_ui.h"
#include "ui/language_table.h"
#include "ui/localisation.h"

namespace {

// The free panel built from another skin file beside the library.
class SkinnedFreePanel : public CFreeModeUI {
public:
    explicit SkinnedFreePanel(std::u16string_view skin) : CFreeModeUI(skin) {}
};

bool Traced(const TraceRecorder& traces, const std::string& part1, const std::string& part2) {
    for (const auto& trace : traces.ansi)
        if (trace.find(part1) != std::string::npos && trace.find(part2) != std::string::npos)
            return true;
    return false;
}

TEST(DataFileTraces, ALanguageFileCutShortOrNoFileAtAllIsNamed) {
    const BankFiles files;
    const std::string whole = R"(<language><string ID="tipTitle">Quiz</string>)"
                              R"(<string ID="NoQue">None</string></language>)";
    const std::u16string cut = files.Write("English.xml", whole.substr(0, whole.size() / 2));
    TraceRecorder traces;
    CLanguageTable table;
    EXPECT_FALSE(table.Load(cut));
    EXPECT_TRUE(Traced(traces, ToNativePath(cut) + ": not well-formed", "strings read"))
        << (traces.ansi.empty() ? "" : traces.ansi[0]);

    const std::u16string fifo = cut + u".fifo";
    ASSERT_EQ(::mkfifo(ToNativePath(fifo).c_str(), 0600), 0);
    EXPECT_FALSE(table.Load(fifo)); // refused at once, not waited on
    EXPECT_TRUE(Traced(traces, ToNativePath(fifo), "not a regular file"));
    ::unlink(ToNativePath(fifo).c_str());

    EXPECT_FALSE(table.Load(files.Missing()));
    EXPECT_TRUE(Traced(traces, ToNativePath(files.Missing()), "missing"));
}

TEST(DataFileTraces, ADataPathPastTheSystemLimitIsNamedNotCut) {
    TraceRecorder traces;
    const std::u16string deep = u"VideoGames\\" + std::u16string(300, u'd') + u"\\bank.txt";
    EXPECT_EQ(MakeHostRelativePath(deep), u"");
    EXPECT_TRUE(Traced(traces, "data path too long", "at most 259"));

    std::u16string path = u"C:\\" + std::u16string(250, u'f') + u"\\x";
    EXPECT_FALSE(ReplaceFileName(u"ChineseTraditional.xml", path));
    EXPECT_TRUE(Traced(traces, "data path too long", "ChineseTraditional.xml"));
}

TEST(DataFileTraces, ABrokenSkinLeavesAnEmptyPanelAndSaysWhy) {
    const std::string name = "broken-" + std::to_string(::getpid()) + ".xml";
    const std::filesystem::path file = std::filesystem::path(ASKGAME_RUNTIME_DIR) / "Skin" / name;
    std::ofstream(file, std::ios::binary) << "<Window><Button name=\"BtnGo\"></Window";
    TraceRecorder traces;
    SkinnedFreePanel panel(u"Skin\\" + Utf8ToUtf16(name));
    std::filesystem::remove(file);
    EXPECT_EQ(panel.GetCount(), 0);
    EXPECT_TRUE(Traced(traces, "skin " + file.string(), "the panel stays empty")) << traces.ansi[0];

    SkinnedFreePanel missing(u"Skin\\noSuchSkin.xml");
    EXPECT_TRUE(Traced(traces, "noSuchSkin.xml: missing", "the panel stays empty"));
}

} // namespace
