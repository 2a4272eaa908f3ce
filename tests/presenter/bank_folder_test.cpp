#include "show/bank_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>

namespace {

namespace fs = std::filesystem;

// A bank folder with two banks, a sub-folder, and a secret file beside it that must stay out of
// reach.
class BankFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = fs::temp_directory_path() / ("askgame-bankfolder-" + std::to_string(::getpid()));
        fs::create_directories(base_ / "banks" / "sub");
        Write(base_ / "banks" / "b.txt", "Q?\nA\n");
        Write(base_ / "banks" / "a.txt", "Q?\nA\n");
        Write(base_ / "banks" / "sub" / "deep.txt", "Q?\nA\n");
        Write(base_ / "secret.txt", "not a bank");
        fs::create_symlink(base_ / "secret.txt", base_ / "banks" / "link.txt");
        fs::create_symlink(base_ / "banks" / "a.txt", base_ / "banks" / "alias.txt");
    }
    void TearDown() override { fs::remove_all(base_); }

    static void Write(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    fs::path base_;
};

TEST_F(BankFolderTest, ListsOnlyTheBanksInsideTheFolder) {
    show::BankFolder folder(base_ / "banks", base_ / "uploads");
    EXPECT_EQ(folder.List(), (std::vector<std::string>{"a.txt", "alias.txt", "b.txt"}));
}

TEST_F(BankFolderTest, NoChoiceLeadsOutOfTheFolder) {
    show::BankFolder folder(base_ / "banks", base_ / "uploads");
    const auto a = folder.Resolve("a.txt");
    ASSERT_TRUE(a);
    EXPECT_EQ(*a, fs::canonical(base_ / "banks" / "a.txt"));
    EXPECT_EQ(folder.Resolve("alias.txt"), a);

    for (const char* name : {"../secret.txt", "link.txt", "sub/deep.txt", "sub", "..", ".", "",
                             "/etc/passwd", "..\\secret.txt", "missing.txt"})
        EXPECT_FALSE(folder.Resolve(name)) << name;
    EXPECT_FALSE(folder.Resolve(std::string_view("a.txt\0x", 7)));
}

TEST_F(BankFolderTest, UploadsAreCappedAndEachGetsAFileOfItsOwn) {
    fs::create_directories(base_ / "uploads");
    show::BankFolder folder({}, base_ / "uploads");
    std::string error;
    const auto first = folder.SaveUpload("Q1?\nA\n", error);
    const auto second = folder.SaveUpload("Q2?\nB\n", error);
    ASSERT_TRUE(first && second) << error;
    EXPECT_NE(*first, *second);
    std::ifstream in(*first, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Q1?\nA\n");

    EXPECT_FALSE(folder.SaveUpload("", error));
    EXPECT_FALSE(folder.SaveUpload(std::string(show::kMaxBankUploadBytes + 1, 'x'), error));
    EXPECT_NE(error.find("larger"), std::string::npos);
    EXPECT_TRUE(folder.SaveUpload(std::string(show::kMaxBankUploadBytes, 'x'), error));
}

TEST_F(BankFolderTest, UploadsGoToAFolderOfTheirOwnAndNeverThroughALink) {
    const fs::path mine = show::BankFolder::MakeUploadFolder();
    const fs::path other = show::BankFolder::MakeUploadFolder();
    ASSERT_FALSE(mine.empty());
    EXPECT_NE(mine, other);
    EXPECT_EQ(fs::status(mine).permissions() & fs::perms::all, fs::perms::owner_all)
        << "nobody else may read the banks";

    // Whatever sits at an upload's name already, a file or a link planted to some other file,
    // is passed over and left as it was.
    Write(mine / "upload-1.txt", "there before");
    fs::create_symlink(base_ / "secret.txt", mine / "upload-2.txt");
    show::BankFolder folder({}, mine);
    std::string error;
    const auto saved = folder.SaveUpload("Q?\nA\n", error);
    ASSERT_TRUE(saved) << error;
    EXPECT_EQ(saved->filename(), "upload-3.txt");
    std::ifstream secret(base_ / "secret.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(secret), {}), "not a bank");
    fs::remove_all(mine);
    fs::remove_all(other);
}

} // namespace
