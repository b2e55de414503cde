// The picture's settings: the file's values with their faults, the command line's options winning
// over them, bad option values refused by name, and classic chosen for a software renderer unless
// the player asked otherwise.
#include "app/display_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/command_line.h"
#include "app/settings.h"

namespace fs = std::filesystem;

namespace {

DisplaySettings fromText(const std::string& text, std::vector<std::string>& warnings) {
    fs::path path =
        fs::temp_directory_path() / ("dravik-display-" + std::to_string(::getpid()) + ".ini");
    std::ofstream(path) << text;
    SettingsFile file;
    file.load(path.string(), warnings);
    fs::remove(path);
    return displaySettingsFrom(file, warnings);
}

CommandLine parsed(const std::vector<std::string>& args) {
    CommandLine out;
    std::string error;
    EXPECT_TRUE(parseCommandLine(args, out, error)) << error;
    return out;
}

std::string refused(const std::vector<std::string>& args) {
    CommandLine out;
    std::string error;
    EXPECT_FALSE(parseCommandLine(args, out, error)) << args[0];
    return error;
}

TEST(DisplaySettings, TheFileSetsEachValueAndABadValueKeepsTheDefaultWithOneWarning) {
    std::vector<std::string> warnings;
    DisplaySettings s = fromText(
        "mode = smooth\nfps = 144\nvsync = off\nfill = on\nmsaa = 4\nfullscreen = yes\n", warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(s.classic, false);
    EXPECT_EQ(s.fps, 144);
    EXPECT_FALSE(s.vsync);
    EXPECT_TRUE(s.fill);
    EXPECT_EQ(s.msaa, 4);
    EXPECT_TRUE(s.fullscreen);

    warnings.clear();
    s = fromText("mode = sharp\nfps = -1\nvsync = maybe\nmsaa = 99\n", warnings);
    EXPECT_EQ(warnings.size(), 4u);
    for (const char* key : {"mode", "fps", "vsync", "msaa"}) {
        bool named = false;
        for (const std::string& w : warnings) named |= w.find(key) != std::string::npos;
        EXPECT_TRUE(named) << key;
    }
    DisplaySettings defaults;
    EXPECT_FALSE(s.classic.has_value()) << "auto";
    EXPECT_EQ(s.fps, defaults.fps);
    EXPECT_EQ(s.vsync, defaults.vsync);
    EXPECT_EQ(s.msaa, defaults.msaa);

    // Binary rubbish is a file of faults, not a stop.
    warnings.clear();
    s = fromText(std::string("\x01\x02\xff=\n\0\0mode", 10), warnings);
    EXPECT_FALSE(s.classic.has_value());
}

TEST(DisplaySettings, TheCommandLineWinsForEachOptionItGives) {
    std::vector<std::string> warnings;
    DisplaySettings s =
        fromText("mode = classic\nfps = 30\nvsync = on\nfullscreen = on\n", warnings);
    applyCommandLine(parsed({"--smooth", "--fps", "75", "--vsync=off", "--window"}), s);
    EXPECT_EQ(s.classic, false);
    EXPECT_EQ(s.fps, 75);
    EXPECT_FALSE(s.vsync);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_FALSE(s.fill) << "not given: the file's value stays";

    // The last of two contrary options wins.
    EXPECT_EQ(parsed({"--classic", "--smooth"}).classic, false);
    EXPECT_EQ(parsed({"--smooth", "--classic"}).classic, true);
    CommandLine all = parsed({"--fill", "--msaa=8", "--fullscreen", "--fps=0", "f.dvk"});
    EXPECT_EQ(all.fill, true);
    EXPECT_EQ(all.msaa, 8);
    EXPECT_EQ(all.fullscreen, true);
    EXPECT_EQ(all.fps, 0);
    EXPECT_EQ(all.recording, "f.dvk");
}

TEST(DisplaySettings, BadOptionValuesAreRefusedByName) {
    EXPECT_NE(refused({"--fps"}).find("--fps"), std::string::npos);
    EXPECT_NE(refused({"--fps", "sixty"}).find("sixty"), std::string::npos);
    EXPECT_NE(refused({"--fps=1001"}).find("1001"), std::string::npos);
    EXPECT_NE(refused({"--fps", "-5"}).find("-5"), std::string::npos);
    EXPECT_NE(refused({"--fps", "99999999999999"}).find("--fps"), std::string::npos);
    EXPECT_NE(refused({"--msaa", "17"}).find("--msaa"), std::string::npos);
    EXPECT_NE(refused({"--vsync", "sometimes"}).find("on or off"), std::string::npos);
    EXPECT_EQ(refused({"--fill=yes"}), "unknown option '--fill=yes'");
    EXPECT_NE(refused({"--fullscreen=1"}).find("--fullscreen"), std::string::npos);
    // The value is not mistaken for a recording.
    CommandLine fps = parsed({"--fps", "60"});
    EXPECT_TRUE(fps.recording.empty());
}

TEST(DisplaySettings, ClassicIsChosenForASoftwareRendererUnlessThePlayerAsked) {
    for (const char* software :
         {"llvmpipe (LLVM 15.0.6, 256 bits)", "softpipe", "Mesa X11 / swrast", "LLVMPIPE"})
        EXPECT_TRUE(isSoftwareRenderer(software)) << software;
    for (const char* hardware : {"AMD Radeon RX 6600 (radeonsi, navi23)",
                                 "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", "NVIDIA GeForce", ""})
        EXPECT_FALSE(isSoftwareRenderer(hardware)) << hardware;

    DisplaySettings automatic;
    EXPECT_TRUE(chooseClassic(automatic, "llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_FALSE(chooseClassic(automatic, "AMD Radeon RX 6600"));
    DisplaySettings smooth;
    smooth.classic = false;
    EXPECT_FALSE(chooseClassic(smooth, "llvmpipe"));
    DisplaySettings classic;
    classic.classic = true;
    EXPECT_TRUE(chooseClassic(classic, "AMD Radeon RX 6600"));

    // The frame rate: the cap, else the display's, else 60.
    DisplaySettings capped;
    capped.fps = 50;
    EXPECT_EQ(frameRate(capped, 144), 50);
    EXPECT_EQ(frameRate(automatic, 144), 144);
    EXPECT_EQ(frameRate(automatic, 0), 60);
}

}  // namespace
