// The settings file: where it lives, what a broken file gives (defaults and one warning per
// fault, never a stop), and that a save writes back what is read.
#include "app/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/shell_settings.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("dravik-settings-" + std::to_string(::getpid()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string write(const std::string& name, const std::string& text) {
        std::string path = (folder / name).string();
        std::ofstream(path) << text;
        return path;
    }
    fs::path folder;
};

TEST_F(SettingsTest, PathFollowsXdgConfigHomeAndIgnoresARelativeOne) {
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    std::string savedConfig = oldConfig ? oldConfig : "";
    ::setenv("HOME", "/home/pilot", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg/", 1);
    EXPECT_EQ(settingsFilePath(), "/cfg/dravik/settings.ini");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(settingsFilePath(), "/home/pilot/.config/dravik/settings.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(settingsFilePath(), "/home/pilot/.config/dravik/settings.ini");
    ::setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig)
        ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}

TEST_F(SettingsTest, ReadsKeysAndValuesSkippingCommentsAndSaysWhatItCannotUse) {
    std::string path = write("settings.ini",
                             "# a comment\n"
                             "[section headers are ignored]\n"
                             "  overlays =  off \n"
                             "fps=144\r\n"
                             "this line has no equals sign\n"
                             "= no key\n"
                             "vsync = sometimes\n"
                             "msaa = 99\n");
    SettingsFile s;
    std::vector<std::string> warnings;
    s.load(path, warnings);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find(":5:"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find(":6:"), std::string::npos) << warnings[1];

    warnings.clear();
    EXPECT_FALSE(s.flag("overlays", true, warnings));
    EXPECT_EQ(s.number("fps", 0, 0, 1000, warnings), 144);
    EXPECT_TRUE(warnings.empty());
    // Values it cannot use keep the default and say so.
    EXPECT_TRUE(s.flag("vsync", true, warnings));
    EXPECT_EQ(s.number("msaa", 0, 0, 16, warnings), 0);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("vsync = sometimes"), std::string::npos);
    EXPECT_NE(warnings[1].find("msaa = 99"), std::string::npos);
    // Missing keys give the default without a word.
    EXPECT_TRUE(s.flag("fullscreen", true, warnings));
    EXPECT_EQ(warnings.size(), 2u);
}

TEST_F(SettingsTest, AMissingFileIsNoFaultAndAFolderOrFifoIsRefusedWithoutBlocking) {
    SettingsFile s;
    std::vector<std::string> warnings;
    s.load((folder / "absent.ini").string(), warnings);
    EXPECT_TRUE(warnings.empty());

    fs::create_directories(folder / "adir.ini");
    s.load((folder / "adir.ini").string(), warnings);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("adir.ini"), std::string::npos);

    std::string fifo = (folder / "fifo.ini").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    warnings.clear();
    s.load(fifo, warnings);  // would block for ever if it waited for a writer
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_FALSE(s.has("anything"));
}

TEST_F(SettingsTest, SaveMakesTheFolderAndWritesBackWhatALoadReads) {
    std::string path = (folder / "new" / "dravik" / "settings.ini").string();
    SettingsFile s;
    std::vector<std::string> warnings;
    s.load(path, warnings);
    s.setFlag("fullscreen", true);
    s.set("fps", "60");
    std::string error;
    ASSERT_TRUE(s.save(error)) << error;

    SettingsFile again;
    again.load(path, warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_TRUE(again.flag("fullscreen", false, warnings));
    EXPECT_EQ(again.number("fps", 0, 0, 1000, warnings), 60);
    // Nothing but the file is left in its folder.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(folder / "new" / "dravik")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

TEST_F(SettingsTest, ASaveThatCannotWriteSaysWhy) {
    // A part of the folder is a file: nothing can be made below it, not even by root.
    write("afile", "x");
    SettingsFile s;
    std::vector<std::string> warnings;
    s.load((folder / "afile" / "settings.ini").string(), warnings);
    s.set("fps", "60");
    std::string error;
    EXPECT_FALSE(s.save(error));
    EXPECT_NE(error.find("afile"), std::string::npos) << error;
}

// The shell's two settings: defaults, the file's values, a bad value said once, the command line
// over the file.
TEST_F(SettingsTest, FocusPauseAndOverlaysComeFromTheFileAndTheCommandLineWins) {
    std::vector<std::string> warnings;
    ShellOptions options;
    SettingsFile none;
    none.load(write("missing-dir-free.ini", ""), warnings);
    applyShellSettings(none, CommandLine{}, options, warnings);
    EXPECT_TRUE(options.pauseOnFocusLoss);
    EXPECT_TRUE(options.overlays);
    EXPECT_TRUE(warnings.empty());

    SettingsFile off;
    off.load(write("off.ini", "pause_on_focus_loss = off\noverlays = no\n"), warnings);
    options = ShellOptions{};
    applyShellSettings(off, CommandLine{}, options, warnings);
    EXPECT_FALSE(options.pauseOnFocusLoss);
    EXPECT_FALSE(options.overlays);
    EXPECT_TRUE(warnings.empty());

    SettingsFile bad;
    bad.load(write("bad.ini", "pause_on_focus_loss = sometimes\noverlays = 1\n"), warnings);
    options = ShellOptions{};
    applyShellSettings(bad, CommandLine{}, options, warnings);
    EXPECT_TRUE(options.pauseOnFocusLoss) << "a bad value keeps the default";
    EXPECT_TRUE(options.overlays);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("pause_on_focus_loss = sometimes"), std::string::npos);

    // The file says on, the command line says no for this run.
    SettingsFile on;
    warnings.clear();
    on.load(write("on.ini", "pause_on_focus_loss = on\n"), warnings);
    CommandLine commandLine;
    commandLine.noFocusPause = true;
    options = ShellOptions{};
    applyShellSettings(on, commandLine, options, warnings);
    EXPECT_FALSE(options.pauseOnFocusLoss);
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
