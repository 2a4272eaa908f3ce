// The plug-in as a host sees it: libaskgame.so loaded with dlopen, three functions found by name.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "askgame/effect_ids.h"
#include "askgame/effect_panel.h"
#include "askgame/exports.h"

namespace {

const std::string kPlugin = std::string(ASKGAME_RUNTIME_DIR) + "/libaskgame.so";

// The functions and objects a shared library offers other modules: its dynamic symbol table's
// defined, global, default-visibility entries.
std::set<std::string> ExportedNames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> image((std::istreambuf_iterator<char>(file)), {});
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr)) return names;
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    for (int i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr section;
        std::memcpy(&section, image.data() + header.e_shoff + i * sizeof section, sizeof section);
        if (section.sh_type != SHT_DYNSYM) continue;
        Elf64_Shdr strings;
        std::memcpy(&strings, image.data() + header.e_shoff + section.sh_link * sizeof strings,
                    sizeof strings);
        for (std::size_t s = 0; s < section.sh_size / sizeof(Elf64_Sym); ++s) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + section.sh_offset + s * sizeof symbol,
                        sizeof symbol);
            const int type = ELF64_ST_TYPE(symbol.st_info);
            const int binding = ELF64_ST_BIND(symbol.st_info);
            if (symbol.st_shndx == SHN_UNDEF || (type != STT_FUNC && type != STT_OBJECT) ||
                binding == STB_LOCAL || ELF64_ST_VISIBILITY(symbol.st_other) != STV_DEFAULT)
                continue;
            names.insert(image.data() + strings.sh_offset + symbol.st_name);
        }
    }
    return names;
}

class Plugin : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(kPlugin.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        create_ =
            reinterpret_cast<QvCreateVideoEffectFn>(dlsym(library_, kQvCreateVideoEffectName));
        createUi_ = reinterpret_cast<QvCreateEffectUIFn>(dlsym(library_, kQvCreateEffectUIName));
        destroy_ = reinterpret_cast<QvDestroyEffectFn>(dlsym(library_, kQvDestroyEffectName));
        ASSERT_TRUE(create_ && createUi_ && destroy_);
    }
    void TearDown() override {
        if (library_) dlclose(library_);
    }
    void* library_ = nullptr;
    QvCreateVideoEffectFn create_ = nullptr;
    QvCreateEffectUIFn createUi_ = nullptr;
    QvDestroyEffectFn destroy_ = nullptr;
};

TEST(PluginLibrary, ExportsExactlyTheThreeEntryPoints) {
    EXPECT_EQ(
        ExportedNames(kPlugin),
        (std::set<std::string>{"QvCreateVideoEffect", "QvCreateEffectUI", "QvDestroyEffect"}));
}

TEST_F(Plugin, MakesEachEffectByItsIdAndNothingElse) {
    IVideoEffect* challenge = create_(&CLSID_ChallengeGame);
    IVideoEffect* free = create_(&CLSID_FreeModeGame);
    ASSERT_NE(challenge, nullptr);
    ASSERT_NE(free, nullptr);
    EXPECT_EQ(*challenge->GetEffectId(), CLSID_ChallengeGame);
    EXPECT_EQ(*free->GetEffectId(), CLSID_FreeModeGame);
    EXPECT_EQ(free->GetMediaSubtype(), MEDIASUBTYPE_RGB32);

    GUID oneByteOff = CLSID_FreeModeGame;
    oneByteOff.Data4[7] ^= 1;
    EXPECT_EQ(create_(&oneByteOff), nullptr);
    EXPECT_EQ(create_(&MEDIASUBTYPE_RGB32), nullptr);
    EXPECT_EQ(create_(nullptr), nullptr);

    // Neither effect saw Init or a frame: both go cleanly.
    EXPECT_EQ(destroy_(challenge), 1);
    EXPECT_EQ(destroy_(free), 1);
    EXPECT_EQ(destroy_(nullptr), 1);
}

TEST_F(Plugin, MakesEachPanelByItsModeNumber) {
    EXPECT_EQ(createUi_(0), nullptr);
    EXPECT_EQ(createUi_(3), nullptr);
    for (int mode : {kFreeModePanel, kChallengePanel}) {
        IEffPlugInUI* panel = createUi_(mode);
        ASSERT_NE(panel, nullptr) << mode;
        EXPECT_EQ(panel->OnHostValues(7, 9), 1);
        delete panel;
    }
}

} // namespace
