// The built askgame.dll as the Windows loader sees it: exactly three named exports, and a
// DllMain that lets the library load and unload.
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::wstring PluginPath() {
    const std::string dir = ASKGAME_RUNTIME_DIR "/askgame.dll";
    return std::wstring(dir.begin(), dir.end());
}

// The names in a loaded module's export directory.
std::set<std::string> ExportedNames(HMODULE module) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (entry.Size == 0) return names;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    return names;
}

TEST(DllExports, ExactlyTheThreeEntryPointsUndecoratedAndTheLibraryUnloads) {
    HMODULE plugin = LoadLibraryW(PluginPath().c_str());
    ASSERT_NE(plugin, nullptr) << "LoadLibraryW failed: " << GetLastError();
    EXPECT_EQ(
        ExportedNames(plugin),
        (std::set<std::string>{"QvCreateEffectUI", "QvCreateVideoEffect", "QvDestroyEffect"}));
    using Destroy = int (*)(void*);
    const auto destroy = reinterpret_cast<Destroy>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "QvDestroyEffect")));
    ASSERT_NE(destroy, nullptr);
    EXPECT_EQ(destroy(nullptr), 1);
    using MakeUi = void* (*)(int);
    const auto makeUi = reinterpret_cast<MakeUi>(
        reinterpret_cast<void*>(GetProcAddress(plugin, "QvCreateEffectUI")));
    ASSERT_NE(makeUi, nullptr);
    EXPECT_EQ(makeUi(99), nullptr);
    // The plug-in asks for its own handle without holding a reference: freeing it once unloads.
    EXPECT_TRUE(FreeLibrary(plugin));
    EXPECT_EQ(GetModuleHandleW(L"askgame.dll"), nullptr);
}

} // namespace
