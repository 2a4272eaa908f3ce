// The plug-in's load hook and the state it keeps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/shell.h"
#include "plugin/library.h"
#include "toolkit/UIlib.h"

namespace {

TEST(LibraryLoad, PointsTheToolkitAtTheSkinFolderOfTheProfileLanguage) {
    const auto home = std::filesystem::temp_directory_path() / "askgame-library-test";
    std::filesystem::remove_all(home);
    std::filesystem::create_directories(home);
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    setenv("ASKGAME_LCID", "1028", 1); // no profile yet: the system's language holds

    const HMODULE module = GetLibraryModule(); // the test program, which holds the code here
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(DllMain(module, DLL_THREAD_ATTACH, nullptr), TRUE);
    EXPECT_EQ(GetLibrarySkinFolder(), u""); // only process attach acts
    EXPECT_EQ(DllMain(module, DLL_PROCESS_ATTACH, nullptr), TRUE);

    EXPECT_EQ(GetLibraryModule(), module);
    EXPECT_EQ(GetLibrarySkinFolder(), u"skinCht\\");
    EXPECT_EQ(DuiLib::CPaintManagerUI::GetInstance(), GetModuleHandleW(nullptr));
    const DuiLib::CDuiString expected =
        DuiLib::CPaintManagerUI::GetInstancePath() + DuiLib::CDuiString(u"skinCht\\");
    EXPECT_EQ(DuiLib::CPaintManagerUI::GetResourcePath(), expected);

    unsetenv("ASKGAME_LCID");
    unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(home);
}

} // namespace
