// Where the game's data is found: the folder the program lies in or is installed beside, the
// environment's override, the current folder for a program that is not installed; and how media
// names are taken under it.
#include "platform/install_paths.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "gfx/data_folder.h"

namespace fs = std::filesystem;

namespace {

TEST(DataFolderTest, MediaNamesAreTakenUnderTheDataFolder) {
    setDataFolder("");
    EXPECT_EQ(dataFilePath("media/BG.dds"), "media/BG.dds");
    setDataFolder("/usr/share/games/dravik");
    EXPECT_EQ(dataFilePath("media/BG.dds"), "/usr/share/games/dravik/media/BG.dds");
    EXPECT_EQ(dataFilePath("/home/pilot/flight.dvk"), "/home/pilot/flight.dvk");
    EXPECT_EQ(dataFilePath(""), "");
    setDataFolder("/opt/dravik/");
    EXPECT_EQ(dataFilePath("media/star.dds"), "/opt/dravik/media/star.dds");
    EXPECT_EQ(dataFolder(), "/opt/dravik/");
    setDataFolder("");
}

class FindDataFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        before_ = fs::current_path();
        scratch_ = fs::temp_directory_path() / ("dravik-paths-" + std::to_string(::getpid()));
        fs::remove_all(scratch_);
        fs::create_directories(scratch_ / "game" / "media");
        fs::create_directories(scratch_ / "empty");
        const char* old = std::getenv("DRAVIK_DATA_DIR");
        hadEnvironment_ = old != nullptr;
        if (old)
            oldEnvironment_ = old;
        ::unsetenv("DRAVIK_DATA_DIR");
    }
    void TearDown() override {
        fs::current_path(before_);
        fs::remove_all(scratch_);
        if (hadEnvironment_)
            ::setenv("DRAVIK_DATA_DIR", oldEnvironment_.c_str(), 1);
        else
            ::unsetenv("DRAVIK_DATA_DIR");
    }
    fs::path before_, scratch_;
    bool hadEnvironment_ = false;
    std::string oldEnvironment_;
};

TEST_F(FindDataFolderTest, TheEnvironmentWinsAndIsMadeAbsolute) {
    fs::current_path(scratch_);
    ::setenv("DRAVIK_DATA_DIR", "game", 1);
    EXPECT_EQ(findDataFolder(), (scratch_ / "game").string());
    ::setenv("DRAVIK_DATA_DIR", (scratch_ / "empty").c_str(), 1);
    EXPECT_EQ(findDataFolder(), (scratch_ / "empty").string());
    // Set but empty: as if not set.
    ::setenv("DRAVIK_DATA_DIR", "", 1);
    fs::current_path(scratch_ / "empty");
    EXPECT_EQ(findDataFolder(), "");
}

TEST_F(FindDataFolderTest, AProgramThatIsNotInstalledReadsTheCurrentFoldersMedia) {
    // The test program lies in the build's tests/ folder: no media beside it, none installed.
    ASSERT_FALSE(fs::exists(fs::path(programFolder()) / "media"));
    fs::current_path(scratch_ / "game");
    EXPECT_EQ(findDataFolder(), "");  // media/ under the current folder, as always
    fs::current_path(scratch_ / "empty");
    EXPECT_EQ(findDataFolder(), "");
    EXPECT_EQ(programFolder(), fs::canonical("/proc/self/exe").parent_path().string());
}

}  // namespace
