// Message boxes and recording file dialogs: zenity's argument lists, the save-name rule, and the
// dialog flows run against a stand-in zenity script that records its arguments.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/dialog_paths.h"
#include "platform/sdl_window.h"
#include "platform/zenity.h"

namespace fs = std::filesystem;

namespace {

FileDialog loadDialog() {
    FileDialog d;
    d.title = "Load Dravik File";
    d.filterName = ".dvk (.dvk)";
    d.filterPattern = "*.dvk";
    d.mustExist = true;
    return d;
}

FileDialog saveDialog() {
    FileDialog d;
    d.title = "Save Dravik File";
    d.filterName = ".dvk (.dvk)";
    d.filterPattern = "*.dvk";
    d.defaultExtension = "dvk";
    d.confirmOverwrite = true;
    return d;
}

using Args = std::vector<std::string>;

TEST(ZenityArgsTest, TheMessageBoxPassesCaptionAndTextVerbatim) {
    const std::string text = "メディアファイルが見つかりません <b>&amp;</b> C:\\media\n$(true)";
    const Args args = messageBoxArgs(text, "Dravik");
    const Args expected = {"--info", "--no-wrap", "--no-markup", "--title=Dravik",
                           "--text=" + text};
    EXPECT_EQ(args, expected);
}

TEST(ZenityArgsTest, TheLoadDialogSelectsADvkFile) {
    const Args expected = {"--file-selection", "--title=Load Dravik File",
                           "--file-filter=.dvk (.dvk) | *.dvk"};
    EXPECT_EQ(openDialogArgs(loadDialog()), expected);
}

TEST(ZenityArgsTest, TheSaveDialogSavesAndConfirmsOverwriting) {
    const Args expected = {"--file-selection", "--title=Save Dravik File",
                           "--file-filter=.dvk (.dvk) | *.dvk", "--save", "--confirm-overwrite"};
    EXPECT_EQ(saveDialogArgs(saveDialog()), expected);

    FileDialog plain = saveDialog();
    plain.confirmOverwrite = false;
    plain.filterPattern.clear();
    const Args noFilter = {"--file-selection", "--title=Save Dravik File", "--save"};
    EXPECT_EQ(saveDialogArgs(plain), noFilter);
}

TEST(SaveNameTest, TheDefaultExtensionIsAddedOnlyToANameWithout) {
    EXPECT_EQ(withDefaultExtension("run", "dvk"), "run.dvk");
    EXPECT_EQ(withDefaultExtension("/home/p/run", "dvk"), "/home/p/run.dvk");
    EXPECT_EQ(withDefaultExtension("/home/p.q/run", "dvk"), "/home/p.q/run.dvk");
    EXPECT_EQ(withDefaultExtension("/home/p/run.dvk", "dvk"), "/home/p/run.dvk");
    EXPECT_EQ(withDefaultExtension("/home/p/run.bak", "dvk"), "/home/p/run.bak");
    EXPECT_EQ(withDefaultExtension("/home/p/run.", "dvk"), "/home/p/run.");
    EXPECT_EQ(withDefaultExtension("/home/p/.hidden", "dvk"), "/home/p/.hidden.dvk");
    EXPECT_EQ(withDefaultExtension("run", ".dvk"), "run.dvk");
    EXPECT_EQ(withDefaultExtension("run", ""), "run");
    EXPECT_EQ(withDefaultExtension("/home/p/", "dvk"), "/home/p/");
    EXPECT_EQ(withDefaultExtension("", "dvk"), "");
}

TEST(SaveNameTest, OnlyOneTrailingNewlineIsStripped) {
    EXPECT_EQ(withoutTrailingNewline("/tmp/a.dvk\n"), "/tmp/a.dvk");
    EXPECT_EQ(withoutTrailingNewline("/tmp/a.dvk"), "/tmp/a.dvk");
    EXPECT_EQ(withoutTrailingNewline("/tmp/a\n\n"), "/tmp/a\n");
    EXPECT_EQ(withoutTrailingNewline(""), "");
}

// A zenity stand-in first on PATH: call n records its arguments in args.n and answers with the
// contents of out.n and the exit code in rc.n (0 when absent).
class FakeZenityTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravik-zenity-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        bin = dir / "bin";
        files = dir / "files";
        fs::create_directories(bin);
        fs::create_directories(files);
        const fs::path script = bin / "zenity";
        std::ofstream(script) << "#!/bin/sh\n"
                              << "d='" << dir.string() << "'\n"
                              << "n=$(( $(cat \"$d/count\" 2>/dev/null || echo 0) + 1 ))\n"
                              << "echo \"$n\" > \"$d/count\"\n"
                              << "printf '%s\\0' \"$@\" > \"$d/args.$n\"\n"
                              << "[ -f \"$d/out.$n\" ] && cat \"$d/out.$n\"\n"
                              << "[ -f \"$d/rc.$n\" ] && exit \"$(cat \"$d/rc.$n\")\"\n"
                              << "exit 0\n";
        fs::permissions(script, fs::perms::owner_all);
        for (const char* name : {"PATH", "DRAVIK_NO_DIALOGS", "DISPLAY"}) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("PATH", (bin.string() + ":/usr/bin:/bin").c_str(), 1);
        unsetenv("DRAVIK_NO_DIALOGS");
    }

    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value) {
                setenv(name.c_str(), value->c_str(), 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        fs::remove_all(dir);
    }

    void answer(int call, const std::string& output, int rc = 0) {
        std::ofstream(dir / ("out." + std::to_string(call)), std::ios::binary) << output;
        std::ofstream(dir / ("rc." + std::to_string(call))) << rc;
    }

    int calls() const {
        std::ifstream in(dir / "count");
        int n = 0;
        in >> n;
        return n;
    }

    Args argsOf(int call) const {
        std::ifstream in(dir / ("args." + std::to_string(call)), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        Args args;
        std::string arg;
        while (std::getline(all, arg, '\0')) args.push_back(arg);
        return args;
    }

    std::string makeFile(const std::string& name) {
        const fs::path path = files / name;
        std::ofstream(path) << "x";
        return path.string();
    }

    fs::path dir, bin, files;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(FakeZenityTest, ArgumentsReachZenityUnchangedWithoutAShell) {
    const Args args = {"--text=メッセージ \"quoted\" 'single' $(rm -rf /) `x` ; | &", "", "a\nb"};
    const ZenityReply reply = runZenity(args);
    EXPECT_EQ(reply.status, ZenityStatus::Accepted);
    EXPECT_EQ(argsOf(1), args);
}

TEST_F(FakeZenityTest, ExitCodesMapToAcceptedDeclinedAndFailed) {
    answer(1, "", 1);
    answer(2, "", 5);
    answer(3, "", 3);
    answer(4, "printed\n", 0);
    EXPECT_EQ(runZenity({}).status, ZenityStatus::Declined);
    EXPECT_EQ(runZenity({}).status, ZenityStatus::Declined);
    EXPECT_EQ(runZenity({}).status, ZenityStatus::Failed);
    const ZenityReply ok = runZenity({});
    EXPECT_EQ(ok.status, ZenityStatus::Accepted);
    EXPECT_EQ(ok.output, "printed\n");
}

TEST_F(FakeZenityTest, AMissingZenityIsToldApart) {
    setenv("PATH", files.string().c_str(), 1);
    EXPECT_EQ(runZenity({"--info"}).status, ZenityStatus::Missing);
    std::string path = "unchanged";
    EXPECT_FALSE(zenityOpenFile(loadDialog(), path));
    EXPECT_EQ(path, "unchanged");
}

TEST_F(FakeZenityTest, OverlongOutputIsReadToTheEndAndRefused) {
    answer(1, std::string(200000, 'a') + "\n");
    const ZenityReply reply = runZenity({});  // must not hang on a full pipe
    EXPECT_EQ(reply.status, ZenityStatus::Failed);
    EXPECT_TRUE(reply.output.empty());

    answer(2, std::string(kZenityOutputLimit, 'b'));
    EXPECT_EQ(runZenity({}).status, ZenityStatus::Accepted);
}

TEST_F(FakeZenityTest, LoadReturnsTheChosenExistingFile) {
    const std::string chosen = makeFile("flight one.dvk");
    answer(1, chosen + "\n");
    std::string path;
    ASSERT_TRUE(zenityOpenFile(loadDialog(), path));
    EXPECT_EQ(path, chosen);
    EXPECT_EQ(argsOf(1), openDialogArgs(loadDialog()));
}

TEST_F(FakeZenityTest, LoadRefusesAMissingFileADirectoryAndACancel) {
    std::string path = "unchanged";
    answer(1, (files / "gone.dvk").string() + "\n");
    EXPECT_FALSE(zenityOpenFile(loadDialog(), path));
    answer(2, files.string() + "\n");
    EXPECT_FALSE(zenityOpenFile(loadDialog(), path));
    answer(3, makeFile("kept.dvk") + "\n", 1);  // cancelled: whatever it printed is ignored
    EXPECT_FALSE(zenityOpenFile(loadDialog(), path));
    answer(4, "\n");
    EXPECT_FALSE(zenityOpenFile(loadDialog(), path));
    EXPECT_EQ(path, "unchanged");
    // A FIFO is passed on: the load refuses it with the file's message.
    const std::string fifo = (files / "pipe.dvk").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    answer(5, fifo + "\n");
    EXPECT_TRUE(zenityOpenFile(loadDialog(), path));
    EXPECT_EQ(path, fifo);
}

TEST_F(FakeZenityTest, SaveAddsTheExtensionToANewName) {
    answer(1, (files / "run").string() + "\n");
    std::string path;
    ASSERT_TRUE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, (files / "run.dvk").string());
    EXPECT_EQ(calls(), 1);
    EXPECT_EQ(argsOf(1), saveDialogArgs(saveDialog()));
}

TEST_F(FakeZenityTest, SaveAsksBeforeReplacingAFileOnlyTheAddedExtensionNames) {
    const std::string existing = makeFile("run.dvk");
    answer(1, (files / "run").string() + "\n");
    answer(2, "", 0);  // "Yes"
    std::string path;
    ASSERT_TRUE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, existing);
    ASSERT_EQ(calls(), 2);
    const Args question = argsOf(2);
    ASSERT_FALSE(question.empty());
    EXPECT_EQ(question[0], "--question");
    EXPECT_EQ(question, overwriteQuestionArgs(existing, "Save Dravik File"));
}

TEST_F(FakeZenityTest, SaveOpensTheDialogAgainWhenReplacingIsRefused) {
    makeFile("run.dvk");
    answer(1, (files / "run").string() + "\n");
    answer(2, "", 1);  // "No"
    answer(3, (files / "other").string() + "\n");
    std::string path;
    ASSERT_TRUE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, (files / "other.dvk").string());
    EXPECT_EQ(calls(), 3);
    EXPECT_EQ(argsOf(3), saveDialogArgs(saveDialog()));
}

TEST_F(FakeZenityTest, SaveLeavesANameZenityConfirmedItselfAndHonoursACancel) {
    const std::string existing = makeFile("mine.dvk");
    answer(1, existing + "\n");
    std::string path;
    ASSERT_TRUE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, existing);
    EXPECT_EQ(calls(), 1);

    answer(2, "", 1);
    path = "unchanged";
    EXPECT_FALSE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, "unchanged");

    makeFile("again.dvk");
    answer(3, (files / "again").string() + "\n");
    answer(4, "", 3);  // the question itself failed: no save
    EXPECT_FALSE(zenitySaveFile(saveDialog(), path));
    EXPECT_EQ(path, "unchanged");
}

TEST_F(FakeZenityTest, TheWindowsMessageBoxRunsZenityInfo) {
    setenv("DISPLAY", ":97", 1);  // zenity is only tried where there is a display
    SdlWindow window;
    const std::string text = "ファイルを読み込めません: media/BG.dds";
    window.messageBox(text, "Dravik");
    ASSERT_EQ(calls(), 1);
    EXPECT_EQ(argsOf(1), messageBoxArgs(text, "Dravik"));
}

TEST_F(FakeZenityTest, NoDialogsMeansNoZenityAndCancelledDialogs) {
    setenv("DRAVIK_NO_DIALOGS", "1", 1);
    setenv("DISPLAY", ":97", 1);
    makeFile("run.dvk");
    answer(1, (files / "run.dvk").string() + "\n");
    SdlWindow window;
    window.messageBox("text", "Dravik");
    std::string path;
    EXPECT_FALSE(window.openFileDialog(loadDialog(), path));
    EXPECT_FALSE(window.saveFileDialog(saveDialog(), path));
    EXPECT_EQ(calls(), 0);

    setenv("DRAVIK_NO_DIALOGS", "0", 1);
    EXPECT_TRUE(window.openFileDialog(loadDialog(), path));
    EXPECT_EQ(calls(), 1);
}

}  // namespace
