// The recording file dialogs in their order of trial: the desktop's file chooser portal (a fake one
// on a private bus, run with dbus-run-session), zenity, kdialog (stand-ins first on PATH), and a
// message when there is none; the recordings folder made when a dialog opens; the game window
// repainted while a dialog is open (under Xvfb) and SIGTERM ending the dialog and the game.
#include "platform/file_chooser.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

#include "app/recordings_folder.h"
#include "platform/portal_file_chooser.h"
#include "platform/sdl_window.h"
#include "platform/zenity.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

FileDialog loadDialog(const std::string& folder = {}) {
    FileDialog d;
    d.title = "Load Dravik File";
    d.filterName = ".dvk (.dvk)";
    d.filterPattern = "*.dvk";
    d.mustExist = true;
    d.folder = folder;
    return d;
}

FileDialog saveDialog(const std::string& folder = {}) {
    FileDialog d;
    d.title = "Save Dravik File";
    d.filterName = ".dvk (.dvk)";
    d.filterPattern = "*.dvk";
    d.defaultExtension = "dvk";
    d.confirmOverwrite = true;
    d.folder = folder;
    d.proposedName = "flight-2026-12-08-1432.dvk";
    return d;
}

// Environment variables changed for one test and put back after it.
class Environment {
  public:
    void set(const char* name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value->c_str(), 1);
        else
            unsetenv(name);
    }
    ~Environment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Stand-ins for zenity and kdialog in a PATH of their own (the real ones are not on it). Each
// call of PROGRAM records its arguments in PROGRAM.args.N and answers with PROGRAM.out.N and the
// exit code in PROGRAM.rc.N; a script in PROGRAM.run.N, when there, runs first.
class ChooserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dravik-chooser-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        bin = dir / "bin";
        files = dir / "files";
        fs::create_directories(bin);
        fs::create_directories(files);
        fs::create_directories(dir / "runtime");
        env.set("PATH", bin.string());
        env.set("DRAVIK_NO_DIALOGS", std::nullopt);
        // No session bus unless a test brings one: no portal.
        if (!privateBus()) {
            env.set("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
            env.set("XDG_RUNTIME_DIR", (dir / "runtime").string());
        }
        resetPortalAvailability();
    }
    void TearDown() override { fs::remove_all(dir); }

    static bool privateBus() {
        const char* value = std::getenv("DRAVIK_TEST_PRIVATE_BUS");
        return value && std::string(value) == "1";
    }

    void install(const std::string& program) {
        const fs::path script = bin / program;
        std::ofstream(script) << "#!/bin/sh\n"
                              << "d='" << dir.string() << "'\n"
                              << "p='" << program << "'\n"
                              << "n=$(( $(/bin/cat \"$d/$p.count\" 2>/dev/null || echo 0) + 1 ))\n"
                              << "echo \"$n\" > \"$d/$p.count\"\n"
                              << "printf '%s\\0' \"$@\" > \"$d/$p.args.$n\"\n"
                              << "[ -f \"$d/$p.run.$n\" ] && . \"$d/$p.run.$n\"\n"
                              << "[ -f \"$d/$p.out.$n\" ] && /bin/cat \"$d/$p.out.$n\"\n"
                              << "[ -f \"$d/$p.rc.$n\" ] && exit \"$(/bin/cat \"$d/$p.rc.$n\")\"\n"
                              << "exit 0\n";
        fs::permissions(script, fs::perms::owner_all);
    }

    void answer(const std::string& program, int call, const std::string& output, int rc = 0) {
        std::ofstream(dir / (program + ".out." + std::to_string(call)), std::ios::binary) << output;
        std::ofstream(dir / (program + ".rc." + std::to_string(call))) << rc;
    }

    void runFirst(const std::string& program, int call, const std::string& script) {
        std::ofstream(dir / (program + ".run." + std::to_string(call))) << script;
    }

    int calls(const std::string& program) const {
        std::ifstream in(dir / (program + ".count"));
        int n = 0;
        in >> n;
        return n;
    }

    Args argsOf(const std::string& program, int call) const {
        std::ifstream in(dir / (program + ".args." + std::to_string(call)), std::ios::binary);
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

    Environment env;
    fs::path dir, bin, files;
};

TEST_F(ChooserTest, ZenityComesBeforeKdialogWhenThereIsNoPortal) {
    install("zenity");
    install("kdialog");
    const std::string chosen = makeFile("mine.dvk");
    answer("zenity", 1, chosen + "\n");
    std::string path;
    EXPECT_EQ(chooseFile(loadDialog(files.string()), false, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(path, chosen);
    EXPECT_EQ(calls("zenity"), 1);
    EXPECT_EQ(calls("kdialog"), 0);
    // The load dialog opens in the folder itself.
    const Args args = argsOf("zenity", 1);
    EXPECT_NE(std::find(args.begin(), args.end(), "--filename=" + files.string() + "/"),
              args.end());

    // A cancel in zenity is the player's answer: kdialog is not asked instead.
    answer("zenity", 2, "", 1);
    EXPECT_EQ(chooseFile(loadDialog(), false, "", path), ChooserOutcome::Cancelled);
    EXPECT_EQ(calls("kdialog"), 0);
}

TEST_F(ChooserTest, KdialogServesWhenZenityIsNotInstalled) {
    install("kdialog");
    const std::string chosen = makeFile("kde.dvk");
    answer("kdialog", 1, chosen + "\n");
    std::string path;
    ASSERT_EQ(chooseFile(loadDialog(files.string()), false, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(path, chosen);
    const Args open = {"--title", "Load Dravik File", "--getopenfilename", files.string() + "/",
                       "*.dvk|.dvk (.dvk)"};
    EXPECT_EQ(argsOf("kdialog", 1), open);

    // Save: the proposed name in the folder; the extension added to a name without one.
    answer("kdialog", 2, (files / "run").string() + "\n");
    ASSERT_EQ(chooseFile(saveDialog(files.string()), true, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(path, (files / "run.dvk").string());
    const Args save = {"--title", "Save Dravik File", "--getsavefilename",
                       (files / "flight-2026-12-08-1432.dvk").string(), "*.dvk|.dvk (.dvk)"};
    EXPECT_EQ(argsOf("kdialog", 2), save);

    // A name that the extension makes an existing file is asked about, with kdialog too.
    makeFile("old.dvk");
    answer("kdialog", 3, (files / "old").string() + "\n");
    answer("kdialog", 4, "", 1);  // "No": the dialog again
    answer("kdialog", 5, "", 1);  // then Cancel
    EXPECT_EQ(chooseFile(saveDialog(files.string()), true, "", path), ChooserOutcome::Cancelled);
    EXPECT_EQ(
        argsOf("kdialog", 4),
        kdialogQuestionArgs(overwriteQuestion((files / "old.dvk").string()), "Save Dravik File"));
    EXPECT_EQ(calls("kdialog"), 5);
}

TEST_F(ChooserTest, WithNoChooserAtAllThePlayerIsToldWhatToInstall) {
    std::string path = "unchanged";
    EXPECT_EQ(chooseFile(loadDialog(), false, "", path), ChooserOutcome::Unavailable);
    EXPECT_EQ(chooseFile(saveDialog(), true, "", path), ChooserOutcome::Unavailable);
    EXPECT_EQ(path, "unchanged");

    // The window says so on stderr, and tries to show it in a message box.
    env.set("DISPLAY", ":97");
    SdlWindow window;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.openFileDialog(loadDialog(), path));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(kNoFileChooserMessage), std::string::npos) << err;
    EXPECT_NE(std::string(kNoFileChooserMessage).find("zenity"), std::string::npos);
    EXPECT_NE(std::string(kNoFileChooserMessage).find("kdialog"), std::string::npos);
}

TEST_F(ChooserTest, AWaitingHelperLetsTheWindowPaintAndIsStoppedWhenTheGameEnds) {
    install("zenity");
    runFirst("zenity", 1, "echo $$ > \"$d/zenity.pid\"\nexec /bin/sleep 30\n");
    int looks = 0;
    const auto started = std::chrono::steady_clock::now();
    // The game looks at its window about every 10 ms; at the 20th look it is told to end.
    const HelperReply reply = runHelper("zenity", {"--info"}, [&] { return ++looks < 20; });
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(reply.status, HelperStatus::Interrupted);
    EXPECT_EQ(looks, 20);
    EXPECT_LT(took, std::chrono::seconds(3));
    std::ifstream pidFile(dir / "zenity.pid");
    pid_t helper = 0;
    pidFile >> helper;
    ASSERT_GT(helper, 0);
    EXPECT_NE(::kill(helper, 0), 0) << "the helper outlived the wait";

    // A helper that answers after a while: the window was looked at meanwhile, the answer kept.
    runFirst("zenity", 2, "/bin/sleep 0.3\n");
    answer("zenity", 2, "/tmp/answer.dvk\n");
    looks = 0;
    const HelperReply answered = runHelper("zenity", {}, [&] { return ++looks > 0; });
    EXPECT_EQ(answered.status, HelperStatus::Accepted);
    EXPECT_EQ(answered.output, "/tmp/answer.dvk\n");
    EXPECT_GE(looks, 10);
}

TEST_F(ChooserTest, DialogsAreAttachedToTheGameWindowSoTheyStayAboveIt) {
    EXPECT_EQ(x11WindowId("x11:1a00007"), "27262983");
    EXPECT_EQ(x11WindowId("wayland:abc"), "");
    EXPECT_EQ(x11WindowId("x11:"), "");
    EXPECT_EQ(x11WindowId("x11:zz"), "");
    install("zenity");
    install("kdialog");
    makeFile("old.dvk");
    answer("zenity", 1, (files / "old").string() + "\n");  // the extension names an old file
    answer("zenity", 2, "", 0);                            // "Yes"
    std::string path;
    ASSERT_EQ(chooseFile(saveDialog(), true, "x11:1a00007", path), ChooserOutcome::Chosen);
    for (int call : {1, 2}) {
        const Args args = argsOf("zenity", call);
        ASSERT_GE(args.size(), 2u);
        EXPECT_EQ(args[args.size() - 2], "--attach=27262983") << call;
        EXPECT_EQ(args.back(), "--modal") << call;
    }
    // kdialog takes the window first; without an X11 window nothing is added.
    fs::remove(bin / "zenity");
    answer("kdialog", 1, "", 1);
    chooseFile(loadDialog(), false, "x11:1a00007", path);
    EXPECT_EQ(argsOf("kdialog", 1),
              attached("kdialog", kdialogOpenArgs(loadDialog()), "x11:1a00007"));
    EXPECT_EQ(argsOf("kdialog", 1)[0], "--attach");
    EXPECT_EQ(argsOf("kdialog", 1)[1], "27262983");
    answer("kdialog", 2, "", 1);
    chooseFile(loadDialog(), false, "", path);
    EXPECT_EQ(argsOf("kdialog", 2), kdialogOpenArgs(loadDialog()));
}

TEST_F(ChooserTest, TheMessageBoxFallsBackToKdialog) {
    install("kdialog");
    env.set("DISPLAY", ":97");
    SdlWindow window;
    const std::string text =
        "背景画の読み込みに失敗しました\ncannot read media/BG.dds: No such "
        "file or directory";
    window.messageBox(text, "Dravik");
    ASSERT_EQ(calls("kdialog"), 1);
    EXPECT_EQ(argsOf("kdialog", 1), (Args{"--title", "Dravik", "--msgbox", text}));
}

TEST_F(ChooserTest, TheDialogOpensInTheRecordingsFolderMadeForIt) {
    install("zenity");
    env.set("XDG_DATA_HOME", (dir / "data").string());
    const std::string folder = recordingsFolder();
    EXPECT_EQ(folder, (dir / "data/dravik/recordings").string());
    ASSERT_FALSE(fs::exists(folder));
    answer("zenity", 1, folder + "/flight.dvk\n");
    SdlWindow window;
    std::string path;
    ASSERT_TRUE(window.saveFileDialog(saveDialog(folder), path));
    EXPECT_EQ(path, folder + "/flight.dvk");
    // Made when first needed, for the player alone.
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    const Args args = argsOf("zenity", 1);
    EXPECT_NE(
        std::find(args.begin(), args.end(), "--filename=" + folder + "/flight-2026-12-08-1432.dvk"),
        args.end());

    // A file where the folder should be: the dialog still opens, in the current folder.
    fs::remove_all(dir / "data");
    fs::create_directories(dir / "data/dravik");
    std::ofstream(dir / "data/dravik/recordings") << "not a folder";
    answer("zenity", 2, "", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(window.saveFileDialog(saveDialog(folder), path));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(calls("zenity"), 2);
    EXPECT_NE(err.find("is not a folder"), std::string::npos) << err;
    for (const std::string& arg : argsOf("zenity", 2))
        EXPECT_EQ(arg.find("--filename="), std::string::npos) << arg;
}

// A file chooser portal of our own on the session bus, served from a thread with its own main
// context: it records each call and answers with `uri` (response 0), or with response 1 (the
// player cancelled) when `uri` is empty.
class FakePortal {
  public:
    struct Call {
        std::string method, parent, title, options;
    };

    explicit FakePortal(std::string uri) : uri_(std::move(uri)) {}
    ~FakePortal() { stop(); }

    bool start() {
        thread_ = std::thread([this] { run(); });
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return state_ != State::Starting; });
        return state_ == State::Serving;
    }

    void stop() {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (loop_)
                g_main_loop_quit(loop_);
        }
        thread_.join();
    }

    std::vector<Call> calls() {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

  private:
    enum class State { Starting, Serving, Failed };

    static constexpr const char* kXml =
        "<node><interface name='org.freedesktop.portal.FileChooser'>"
        "<method name='OpenFile'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
        "<method name='SaveFile'><arg type='s' direction='in'/><arg type='s' direction='in'/>"
        "<arg type='a{sv}' direction='in'/><arg type='o' direction='out'/></method>"
        "<property name='version' type='u' access='read'/>"
        "</interface></node>";

    void run() {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            std::getenv("DBUS_SESSION_BUS_ADDRESS"),
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kXml, nullptr);
        static const GDBusInterfaceVTable vtable = {onMethod, nullptr, nullptr, {}};
        bool ok = bus && node &&
                  g_dbus_connection_register_object(bus, "/org/freedesktop/portal/desktop",
                                                    node->interfaces[0], &vtable, this, nullptr,
                                                    nullptr) > 0;
        if (ok) {
            GVariant* reply = g_dbus_connection_call_sync(
                bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            guint32 result = 0;
            if (reply) {
                g_variant_get(reply, "(u)", &result);
                g_variant_unref(reply);
            }
            ok = result == 1;  // the primary owner
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            bus_ = bus;
            loop_ = ok ? g_main_loop_new(context, FALSE) : nullptr;
            state_ = ok ? State::Serving : State::Failed;
        }
        ready_.notify_all();
        if (ok)
            g_main_loop_run(loop_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (loop_)
                g_main_loop_unref(loop_);
            loop_ = nullptr;
        }
        if (node)
            g_dbus_node_info_unref(node);
        if (bus) {
            g_dbus_connection_close_sync(bus, nullptr, nullptr);
            g_object_unref(bus);
        }
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    static void onMethod(GDBusConnection* bus, const gchar* sender, const gchar*, const gchar*,
                         const gchar* method, GVariant* parameters,
                         GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<FakePortal*>(data);
        const gchar* parent = nullptr;
        const gchar* title = nullptr;
        GVariant* options = nullptr;
        g_variant_get(parameters, "(&s&s@a{sv})", &parent, &title, &options);
        gchar* printed = g_variant_print(options, FALSE);
        const gchar* token = "t";
        g_variant_lookup(options, "handle_token", "&s", &token);
        std::string client = sender;
        client.erase(0, 1);
        for (char& c : client)
            if (c == '.')
                c = '_';
        const std::string handle =
            "/org/freedesktop/portal/desktop/request/" + client + "/" + token;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->calls_.push_back(Call{method, parent, title, printed});
        }
        g_free(printed);
        g_variant_unref(options);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", handle.c_str()));
        GVariantBuilder results;
        g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
        if (!self->uri_.empty()) {
            const gchar* uris[] = {self->uri_.c_str(), nullptr};
            g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, 1));
        }
        g_dbus_connection_emit_signal(
            bus, sender, handle.c_str(), "org.freedesktop.portal.Request", "Response",
            g_variant_new("(ua{sv})", self->uri_.empty() ? 1u : 0u, &results), nullptr);
    }

    std::string uri_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    State state_ = State::Starting;
    GMainLoop* loop_ = nullptr;
    GDBusConnection* bus_ = nullptr;
    std::vector<Call> calls_;
};

class PortalTest : public ChooserTest {
  protected:
    void SetUp() override {
        if (!privateBus())
            GTEST_SKIP() << "runs on a private session bus: dbus-run-session, "
                            "DRAVIK_TEST_PRIVATE_BUS=1 (ctest -R Portal)";
        ChooserTest::SetUp();
        install("zenity");
    }
};

TEST_F(PortalTest, ThePortalComesFirstWithTheDialogsTitleFilterAndFolder) {
    const std::string chosen = makeFile("portal.dvk");
    FakePortal portal("file://" + chosen);
    ASSERT_TRUE(portal.start());
    std::string path;
    ASSERT_EQ(chooseFile(loadDialog(files.string()), false, "x11:1a00007", path),
              ChooserOutcome::Chosen);
    EXPECT_EQ(path, chosen);
    EXPECT_EQ(calls("zenity"), 0);

    ASSERT_EQ(chooseFile(saveDialog(files.string()), true, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(path, chosen);
    const std::vector<FakePortal::Call> seen = portal.calls();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "OpenFile");
    EXPECT_EQ(seen[0].parent, "x11:1a00007");
    EXPECT_EQ(seen[0].title, "Load Dravik File");
    const std::string filter = "[('.dvk (.dvk)', [(uint32 0, '*.dvk')])]";
    EXPECT_NE(seen[0].options.find("'filters': <" + filter + ">"), std::string::npos)
        << seen[0].options;
    EXPECT_NE(seen[0].options.find("'current_folder': <b'" + files.string() + "'>"),
              std::string::npos)
        << seen[0].options;
    EXPECT_NE(seen[0].options.find("'modal': <true>"), std::string::npos) << seen[0].options;
    EXPECT_EQ(seen[1].method, "SaveFile");
    EXPECT_EQ(seen[1].title, "Save Dravik File");
    EXPECT_NE(seen[1].options.find("'current_name': <'flight-2026-12-08-1432.dvk'>"),
              std::string::npos)
        << seen[1].options;
}

TEST_F(PortalTest, ASaveNameWithoutExtensionGetsItAndACancelIsFinal) {
    FakePortal portal("file://" + (files / "new%20run").string());
    ASSERT_TRUE(portal.start());
    std::string path;
    ASSERT_EQ(chooseFile(saveDialog(files.string()), true, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(path, (files / "new run.dvk").string());
    portal.stop();

    FakePortal cancelling("");
    ASSERT_TRUE(cancelling.start());
    path = "unchanged";
    EXPECT_EQ(chooseFile(loadDialog(), false, "", path), ChooserOutcome::Cancelled);
    EXPECT_EQ(path, "unchanged");
    EXPECT_EQ(calls("zenity"), 0);
}

TEST_F(PortalTest, ABusWithoutAPortalFallsBackToZenityAndIsNotAskedAgain) {
    const std::string chosen = makeFile("z.dvk");
    answer("zenity", 1, chosen + "\n");
    answer("zenity", 2, chosen + "\n");
    std::string path;
    testing::internal::CaptureStderr();
    ASSERT_EQ(chooseFile(loadDialog(), false, "", path), ChooserOutcome::Chosen);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(path, chosen);
    EXPECT_EQ(calls("zenity"), 1);
    EXPECT_NE(err.find("file chooser portal cannot be used"), std::string::npos) << err;

    // Found missing once, the portal is not asked again: even one that came up since.
    FakePortal late("file://" + makeFile("late.dvk"));
    ASSERT_TRUE(late.start());
    ASSERT_EQ(chooseFile(loadDialog(), false, "", path), ChooserOutcome::Chosen);
    EXPECT_EQ(calls("zenity"), 2);
    EXPECT_TRUE(late.calls().empty());
}

// The real window while a dialog is open.
class DialogWindowTest : public ChooserTest {
  protected:
    void SetUp() override {
        ChooserTest::SetUp();
        // The stand-ins first; xdotool and ImageMagick from the system.
        env.set("PATH", bin.string() + ":/usr/bin:/bin");
        install("zenity");
    }

    // Takes every event the window has for the next `ms` milliseconds.
    static std::vector<WindowEvent> drain(SdlWindow& window, int ms) {
        std::vector<WindowEvent> events;
        WindowEvent event;
        while (window.nextEvent(event, ms)) events.push_back(event);
        return events;
    }
};

TEST_F(DialogWindowTest, TheWindowIsRepaintedWhileTheDialogWaitsAndTakesNoInput) {
    const char* xvfb = std::getenv("DRAVIK_TEST_XVFB");
    if (!xvfb || std::string(xvfb) != "1")
        GTEST_SKIP() << "runs under Xvfb: DRAVIK_TEST_XVFB=1 (ctest -R DialogRepaint)";
    SdlWindow window;
    ASSERT_TRUE(window.create()) << SDL_GetError();
    int paints = 0;
    window.setModalPaintHook([&] {
        ++paints;
        window.paintStatus("Repainted", 9, 240, 380);  // blue all over
    });
    drain(window, 500);  // the first expose, before any dialog

    // The dialog takes its time: meanwhile the game window is hidden and shown again (uncovered),
    // a key is pressed in it, and a picture of it is taken.
    const std::string chosen = makeFile("chosen.dvk");
    runFirst("zenity", 1,
             "id=$(xdotool search --name '^Dravik$' | head -1)\n"
             "xdotool windowunmap --sync \"$id\"\n"
             "xdotool windowmap --sync \"$id\"\n"
             "sleep 0.5\n"
             "xdotool key --window \"$id\" F1\n"
             "sleep 0.3\n"
             "import -window \"$id\" \"$d/uncovered.png\"\n"
             "convert \"$d/uncovered.png\" -crop 1x1+20+20 -format "
             "'%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info: > \"$d/pixel\"\n");
    answer("zenity", 1, chosen + "\n");
    std::string path;
    ASSERT_TRUE(window.openFileDialog(loadDialog(), path));
    EXPECT_EQ(path, chosen);
    EXPECT_GE(paints, 1);
    std::ifstream pixel(dir / "pixel");
    std::string colour;
    pixel >> colour;
    EXPECT_EQ(colour, "0,0,255") << "the uncovered window was not repainted";
    // The key pressed into the window while the dialog was open never reaches the game.
    for (const WindowEvent& event : drain(window, 300))
        EXPECT_NE(event.type, EventType::KeyDown) << event.key;
}

TEST_F(DialogWindowTest, SigtermWhileADialogIsOpenEndsTheDialogAndTheGame) {
    SdlWindow window;
    ASSERT_TRUE(window.create()) << SDL_GetError();
    // SDL turns SIGTERM into a request to quit; without its handler the test would be killed.
    struct sigaction current {};
    ASSERT_EQ(::sigaction(SIGTERM, nullptr, &current), 0);
    ASSERT_NE(current.sa_handler, SIG_DFL);
    drain(window, 100);

    // The dialog stays open until it is ended; the game is told to end meanwhile.
    runFirst("zenity", 1, "echo $$ > \"$d/zenity.pid\"\nkill -TERM $PPID\nexec sleep 30\n");
    const auto started = std::chrono::steady_clock::now();
    std::string path = "unchanged";
    EXPECT_FALSE(window.openFileDialog(loadDialog(), path));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(path, "unchanged");
    // The dialog is gone ...
    std::ifstream pidFile(dir / "zenity.pid");
    pid_t zenity = 0;
    pidFile >> zenity;
    ASSERT_GT(zenity, 0);
    EXPECT_NE(::kill(zenity, 0), 0);
    // ... and the game's window procedure gets Close next, which runs the shut-down.
    WindowEvent event;
    ASSERT_TRUE(window.nextEvent(event, 0));
    EXPECT_EQ(event.type, EventType::Close);
}

TEST(RecordingsFolder, FollowsXdgDataHomeElseHome) {
    Environment env;
    env.set("XDG_DATA_HOME", "/data/home/");
    EXPECT_EQ(recordingsFolder(), "/data/home/dravik/recordings");
    // A relative XDG_DATA_HOME is invalid: the default under HOME is used.
    env.set("XDG_DATA_HOME", "relative/data");
    env.set("HOME", "/home/player");
    EXPECT_EQ(recordingsFolder(), "/home/player/.local/share/dravik/recordings");
    env.set("XDG_DATA_HOME", "");
    EXPECT_EQ(recordingsFolder(), "/home/player/.local/share/dravik/recordings");
}

TEST(RecordingsFolder, TheProposedNameIsTheLocalDateAndTimeToTheMinute) {
    Environment env;
    env.set("TZ", "UTC");
    tzset();
    // 2026-12-08 14:32:59 UTC.
    EXPECT_EQ(proposedRecordingName(1796740379), "flight-2026-12-08-1432.dvk");
    // Single digits are padded; the first minute of a year.
    EXPECT_EQ(proposedRecordingName(1767225600), "flight-2026-01-01-0000.dvk");
    env.set("TZ", "Asia/Tokyo");
    tzset();
    EXPECT_EQ(proposedRecordingName(1796740379), "flight-2026-12-08-2332.dvk");
    unsetenv("TZ");
    tzset();
}

}  // namespace
