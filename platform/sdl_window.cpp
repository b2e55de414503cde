// The game's window on SDL2 and the translation of SDL events into the window procedure's events.
#include "platform/sdl_window.h"

#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <stb_image.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/recordings_folder.h"
#include "gfx/data_folder.h"
#include "gfx/file_access.h"
#include "platform/file_chooser.h"
#include "platform/gl_device.h"
#include "platform/helper_program.h"
#include "platform/status_painter.h"
#include "platform/zenity.h"

namespace {

constexpr const char* kTitle = "Dravik";
constexpr const char* kIconPath = "media/dravik.png";
constexpr int kIconMaxSide = 1024;  // a larger "icon" is not decoded
constexpr size_t kIconMaxBytes = 4 << 20;
constexpr int kClientWidth = 640;
constexpr int kClientHeight = 480;

}  // namespace

int virtualKeyCode(SDL_Keycode key, SDL_Scancode scancode) {
    if (key >= SDLK_a && key <= SDLK_z)
        return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9)
        return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12)
        return kVkF1 + (key - SDLK_F1);
    switch (key) {
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return kVkControl;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 0x10;
        case SDLK_LALT:
        case SDLK_RALT:
            return 0x12;
        case SDLK_ESCAPE:
            return kVkEscape;
        case SDLK_LEFT:
            return kVkLeft;
        case SDLK_UP:
            return kVkUp;
        case SDLK_RIGHT:
            return kVkRight;
        case SDLK_DOWN:
            return kVkDown;
        case SDLK_HOME:
            return kVkHome;
        case SDLK_EQUALS:
        case SDLK_PLUS:
            return kVkOemPlus;
        case SDLK_MINUS:
            return kVkOemMinus;
        case SDLK_PERIOD:
            return kVkOemPeriod;
        case SDLK_KP_PLUS:
            return kVkAdd;
        case SDLK_KP_MINUS:
            return kVkSubtract;
        case SDLK_KP_PERIOD:
            return kVkDecimal;
        case SDLK_BACKSPACE:
            return 0x08;
        case SDLK_TAB:
            return 0x09;
        case SDLK_RETURN:
            return 0x0D;
        case SDLK_SPACE:
            return 0x20;
        default:
            break;
    }
    // A layout without Latin letters (Cyrillic, Greek ...) still has its M key where M is.
    if (key >= 0x80 && !(key & SDLK_SCANCODE_MASK) && scancode >= SDL_SCANCODE_A &&
        scancode <= SDL_SCANCODE_Z) {
        return 'A' + (scancode - SDL_SCANCODE_A);
    }
    return 0;
}

// SDL falls back to a driver that shows nothing when it finds no display; the game would then
// run unseen. Such a driver is only taken when it was asked for (SDL_VIDEODRIVER in the
// environment for tests, the hint the headless runner sets).
static bool displayFound() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    const bool invisible =
        driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0 ||
                   std::strcmp(driver, "evdev") == 0);
    if (!invisible || (asked && *asked))
        return true;
    std::fprintf(stderr,
                 "Dravik: no display to show the game on (SDL found only its \"%s\" video "
                 "driver). Start the game on a desktop, or set DISPLAY (X11) or WAYLAND_DISPLAY.\n",
                 driver);
    return false;
}

SdlWindow::SdlWindow() = default;

SdlWindow::~SdlWindow() {
    painter_.reset();
    if (window_)
        SDL_DestroyWindow(window_);
    if (controllersStarted_)
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    if (sdlStarted_)
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

bool SdlWindow::create() {
    if (window_)
        return true;
    if (!sdlStarted_) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            std::fprintf(stderr, "Dravik: no display to show the game on: %s\n", SDL_GetError());
            noDisplay_ = true;
            return false;
        }
        sdlStarted_ = true;
        if (!displayFound()) {
            noDisplay_ = true;
            return false;
        }
        // Game controllers are an extra: the game still runs with the mouse and keyboard when
        // their support does not start. Starting it announces each controller plugged in.
        if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0)
            controllersStarted_ = true;
        else
            std::fprintf(stderr, "Dravik: no game controllers: %s\n", SDL_GetError());
    }
    // The graphics device makes its GL context on this window later: its frame buffer must suit.
    glPrepareWindowAttributes();
    // On Linux the frame lies outside this size: the client area is the full 640 x 480.
    window_ =
        SDL_CreateWindow(kTitle, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, kClientWidth,
                         kClientHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
    if (!window_) {
        std::fprintf(stderr, "Dravik: the window cannot be made: %s\n", SDL_GetError());
        return false;
    }
    windowId_ = SDL_GetWindowID(window_);
    destroyed_ = false;
    closeSent_ = false;
    setIcon();
    return true;
}

// The whole regular file, when it is there and no larger than `limit` bytes; `error` says why
// not otherwise (empty when the file is simply not there).
static bool readSmallFile(const char* path, size_t limit, std::vector<unsigned char>& bytes,
                          std::string& error) {
    bytes.clear();
    const int fd = openRegularFile(dataFilePath(path), error);
    if (fd < 0) {
        if (errno == ENOENT)
            error.clear();
        return false;
    }
    bytes.resize(limit + 1);
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = fileFailure("read", path, errno);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    if (got > limit)
        error = fileFailure("read", path, "too large for an icon");
    return error.empty();
}

void SdlWindow::setIcon() {
    std::vector<unsigned char> file;
    std::string error;
    if (!readSmallFile(kIconPath, kIconMaxBytes, file, error)) {
        // No icon file: the default icon, without a word.
        if (!error.empty())
            std::fprintf(stderr, "Dravik: %s; the window keeps the default icon\n", error.c_str());
        return;
    }
    const int size = static_cast<int>(file.size());
    int w = 0, h = 0, channels = 0;
    if (!stbi_info_from_memory(file.data(), size, &w, &h, &channels) || w > kIconMaxSide ||
        h > kIconMaxSide) {
        std::fprintf(stderr, "Dravik: %s is no icon picture (PNG, at most %d pixels a side)\n",
                     kIconPath, kIconMaxSide);
        return;
    }
    stbi_uc* pixels = stbi_load_from_memory(file.data(), size, &w, &h, &channels, 4);
    if (!pixels) {
        std::fprintf(stderr, "Dravik: %s cannot be read: %s\n", kIconPath, stbi_failure_reason());
        return;
    }
    SDL_Surface* icon =
        SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 32, w * 4, SDL_PIXELFORMAT_RGBA32);
    if (icon) {
        SDL_SetWindowIcon(window_, icon);
        SDL_FreeSurface(icon);
    }
    stbi_image_free(pixels);
}

bool SdlWindow::nextEvent(WindowEvent& event, int32_t timeoutMs) {
    if (!queue_.empty()) {
        event = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (!sdlStarted_)
        return false;
    const uint64_t deadline = SDL_GetTicks64() + static_cast<uint64_t>(std::max(timeoutMs, 0));
    for (;;) {
        SDL_Event raw;
        if (timeoutMs < 0) {
            if (!SDL_WaitEvent(&raw))
                return false;  // an error: waiting longer would not help
        } else {
            const uint64_t now = SDL_GetTicks64();
            if (now >= deadline) {
                if (!SDL_PollEvent(&raw))
                    return false;
            } else if (!SDL_WaitEventTimeout(&raw, static_cast<int>(deadline - now))) {
                continue;  // the deadline is checked again above
            }
        }
        if (take(raw, event))
            return true;
        // Something the procedure does not see (mouse motion, focus ...): keep waiting.
        if (!queue_.empty()) {  // the hook may have posted something
            event = queue_.front();
            queue_.pop_front();
            return true;
        }
    }
}

bool SdlWindow::take(const SDL_Event& raw, WindowEvent& event) {
    if (rawHook_)
        rawHook_(raw);
    if (takeWindowKey(raw))
        return false;
    return translate(raw, event);
}

bool SdlWindow::takeWindowKey(const SDL_Event& raw) {
    if (raw.type != SDL_KEYDOWN || destroyed_)
        return false;
    const SDL_Keycode key = raw.key.keysym.sym;
    const bool altEnter =
        (key == SDLK_RETURN || key == SDLK_KP_ENTER) && (raw.key.keysym.mod & KMOD_ALT);
    if (key != SDLK_F11 && !altEnter)
        return false;
    // A held key would flip the screen back and forth at the repeat rate.
    if (!raw.key.repeat)
        setFullscreen(!fullscreen_);
    return true;
}

bool SdlWindow::windowManagerRuns() const {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11)
        return true;  // not X11: the compositor is the window manager
    Display* display = info.info.x11.display;
    Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None)
        return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                    XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
                 type == XA_WINDOW && count == 1;
    if (data)
        XFree(data);
    return found;
}

bool SdlWindow::setDesktopWindow(bool on) {
    if (on) {
        SDL_Rect bounds;
        int index = SDL_GetWindowDisplayIndex(window_);
        if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) != 0)
            return false;
        SDL_GetWindowPosition(window_, &windowedX_, &windowedY_);
        SDL_GetWindowSize(window_, &windowedW_, &windowedH_);
        SDL_SetWindowBordered(window_, SDL_FALSE);
        SDL_SetWindowPosition(window_, bounds.x, bounds.y);
        SDL_SetWindowSize(window_, bounds.w, bounds.h);
        SDL_RaiseWindow(window_);
    } else {
        SDL_SetWindowBordered(window_, SDL_TRUE);
        SDL_SetWindowSize(window_, windowedW_, windowedH_);
        SDL_SetWindowPosition(window_, windowedX_, windowedY_);
    }
    desktopWindow_ = on;
    return true;
}

bool SdlWindow::setFullscreen(bool on) {
    if (!window_ || destroyed_)
        return false;
    // Without a window manager nobody carries out a full-screen request: SDL would take the
    // window for desktop-sized while the X window kept its size, showing a magnified corner.
    if (on ? !windowManagerRuns() : desktopWindow_) {
        if (!setDesktopWindow(on)) {
            std::fprintf(stderr, "Dravik: the window cannot %s: %s\n",
                         on ? "go full screen" : "leave full screen", SDL_GetError());
            return false;
        }
    } else if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        std::fprintf(stderr, "Dravik: the window cannot %s: %s\n",
                     on ? "go full screen" : "leave full screen", SDL_GetError());
        return false;
    }
    fullscreen_ = on;
    if (painter_)
        painter_->setLetterbox(on);
    if (fullscreenHook_)
        fullscreenHook_(on);
    // The new size usually brings its own repaint; one is asked for in case it does not.
    enqueue(WindowEvent{EventType::Paint, 0, 0});
    return true;
}

bool SdlWindow::translate(const SDL_Event& raw, WindowEvent& event) {
    // A destroyed window gets no more messages; a posted quit comes through the queue.
    if (destroyed_)
        return false;
    switch (raw.type) {
        case SDL_KEYDOWN:  // auto-repeat included: a held key repeats its command
            event = WindowEvent{EventType::KeyDown,
                                virtualKeyCode(raw.key.keysym.sym, raw.key.keysym.scancode), 0};
            return true;
        case SDL_MOUSEBUTTONDOWN:
            if (raw.button.button != SDL_BUTTON_LEFT)
                return false;
            event = WindowEvent{EventType::LeftButtonDown, 0, 0};
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
            // From any controller: A or the d-pad up choose it, Start pauses as F1 does, Y
            // switches the view as Ctrl does.
            switch (raw.cbutton.button) {
                case SDL_CONTROLLER_BUTTON_A:
                case SDL_CONTROLLER_BUTTON_DPAD_UP:
                    event = WindowEvent{EventType::ControllerButtonDown, 0, 0};
                    return true;
                case SDL_CONTROLLER_BUTTON_START:
                    event = WindowEvent{EventType::KeyDown, kVkF1, 0};
                    return true;
                case SDL_CONTROLLER_BUTTON_Y:
                    event = WindowEvent{EventType::KeyDown, kVkControl, 0};
                    return true;
                default:
                    return false;
            }
        case SDL_QUIT:
            // Closing the last window sends SDL_QUIT right after the window's close event.
            if (closeSent_)
                return false;
            closeSent_ = true;
            event = WindowEvent{EventType::Close, 0, 0};
            return true;
        case SDL_WINDOWEVENT:
            if (raw.window.windowID != windowId_)
                return false;
            switch (raw.window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED:
                    event = WindowEvent{EventType::Paint, 0, 0};
                    return true;
                case SDL_WINDOWEVENT_CLOSE:
                    closeSent_ = true;
                    event = WindowEvent{EventType::Close, 0, 0};
                    return true;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    event = WindowEvent{EventType::FocusLost, 0, 0};
                    return true;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    event = WindowEvent{EventType::FocusGained, 0, 0};
                    return true;
                default:
                    return false;
            }
        default:
            return false;
    }
}

void SdlWindow::enqueue(const WindowEvent& event) {
    // Like a repaint request, one Paint stands for all that are still waiting.
    if (event.type == EventType::Paint &&
        std::any_of(queue_.begin(), queue_.end(),
                    [](const WindowEvent& e) { return e.type == EventType::Paint; })) {
        return;
    }
    queue_.push_back(event);
}

void SdlWindow::drainPending() {
    if (!sdlStarted_)
        return;
    SDL_PumpEvents();
    SDL_Event batch[64];
    for (;;) {
        const int n = SDL_PeepEvents(batch, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (n <= 0)
            return;
        for (int i = 0; i < n; ++i) {
            WindowEvent event;
            if (take(batch[i], event))
                enqueue(event);
        }
    }
}

void SdlWindow::postQuit(int code) {
    drainPending();
    queue_.push_back(WindowEvent{EventType::Quit, 0, code});
}

void SdlWindow::invalidate() {
    if (!window_ || destroyed_)
        return;
    drainPending();
    enqueue(WindowEvent{EventType::Paint, 0, 0});
}

void SdlWindow::destroyWindow() {
    if (!window_ || destroyed_)
        return;
    destroyed_ = true;
    painter_.reset();
    SDL_HideWindow(window_);
    std::erase_if(queue_, [](const WindowEvent& e) { return e.type != EventType::Quit; });
}

ClientRect SdlWindow::clientRect() {
    ClientRect rect{0, 0, 0, 0};
    if (!window_ || destroyed_)
        return rect;
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    rect.right = w;
    rect.bottom = h;
    return rect;
}

// The first `count` characters of `text`, never read past its end.
static std::string statusText(const char* text, int count) {
    if (!text || count <= 0)
        return {};
    const int wanted = std::min(count, StatusPainter::kMaxCharacters);
    return std::string(text, strnlen(text, static_cast<size_t>(wanted)));
}

void SdlWindow::paintStatus(const char* text, int count, int x, int y) {
    if (!window_ || destroyed_)
        return;
    status_.assign(1, StatusText{statusText(text, count), x, y});
    paintStatusLines();
}

void SdlWindow::paintStatusLine(const char* text, int count, int x, int y) {
    if (!window_ || destroyed_ || status_.empty() || status_.size() >= kMaxStatusLines)
        return;
    status_.push_back(StatusText{statusText(text, count), x, y});
    paintStatusLines();
}

void SdlWindow::paintStatusLines() {
    if (!painter_) {
        painter_ = std::make_unique<StatusPainter>(window_);
        painter_->setLetterbox(fullscreen_);
    }
    std::vector<StatusLine> lines;
    for (const StatusText& line : status_)
        lines.push_back(
            StatusLine{line.text.c_str(), static_cast<int>(line.text.size()), line.x, line.y});
    painter_->paintLines(lines.data(), static_cast<int>(lines.size()));
}

bool SdlWindow::keepWaitingForDialog() {
    if (!sdlStarted_)
        return true;
    bool paint = false;
    bool end = false;
    SDL_Event raw;
    while (SDL_PollEvent(&raw)) {
        // The input source still sees every event, so that no key or button seems held after.
        if (rawHook_)
            rawHook_(raw);
        if (raw.type == SDL_QUIT) {
            end = true;
        } else if (raw.type == SDL_WINDOWEVENT && raw.window.windowID == windowId_) {
            switch (raw.window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                case SDL_WINDOWEVENT_RESTORED:
                    paint = true;
                    break;
                case SDL_WINDOWEVENT_CLOSE:
                    end = true;
                    break;
                default:
                    break;
            }
        }
    }
    if (end) {
        if (!closeSent_ && !destroyed_) {
            closeSent_ = true;
            queue_.push_back(WindowEvent{EventType::Close, 0, 0});
        }
        return false;
    }
    if (paint && modalPaintHook_ && !destroyed_)
        modalPaintHook_();
    return true;
}

std::string SdlWindow::parentWindowHandle() const {
    if (!window_)
        return {};
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window_, &info) || info.subsystem != SDL_SYSWM_X11)
        return {};
    char handle[32];
    std::snprintf(handle, sizeof handle, "x11:%lx",
                  static_cast<unsigned long>(info.info.x11.window));
    return handle;
}

void SdlWindow::messageBox(const std::string& text, const std::string& caption) {
    if (dialogsDisabled())
        return;
    const KeepWaiting keepWaiting = [this] { return keepWaitingForDialog(); };
    if (displayAvailable()) {
        for (const char* program : {"zenity", "kdialog"}) {
            const std::vector<std::string> args =
                attached(program,
                         std::string(program) == "zenity"
                             ? messageBoxArgs(text, caption)
                             : std::vector<std::string>{"--title", caption, "--msgbox", text},
                         parentWindowHandle());
            const HelperStatus status = runHelper(program, args, keepWaiting).status;
            if (status == HelperStatus::Accepted || status == HelperStatus::Declined ||
                status == HelperStatus::Interrupted)
                return;
        }
    }
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(),
                                 nullptr) == 0) {
        return;
    }
    const std::string reason = SDL_GetError();
    if (messageInWindow(text))
        return;
    // The caller has written the text to stderr already.
    std::fprintf(stderr, "Dravik: no message box can be shown: %s\n", reason.c_str());
}

bool SdlWindow::messageInWindow(const std::string& text) {
    if (!window_ || destroyed_)
        return false;
    // Lines of at most this many bytes fit the 640-pixel picture in the status font.
    constexpr size_t kLineBytes = 84;
    constexpr int kLeft = 16, kTop = 24, kLineHeight = 18;
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size() && lines.size() < kMaxStatusLines - 2) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        // Long lines are cut where a space allows, never inside a UTF-8 character.
        while (line.size() > kLineBytes && lines.size() < kMaxStatusLines - 2) {
            size_t cut = line.rfind(' ', kLineBytes);
            if (cut == std::string::npos || cut == 0) {
                cut = kLineBytes;
                while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
            }
            lines.push_back(line.substr(0, cut));
            line.erase(0, line[cut] == ' ' ? cut + 1 : cut);
        }
        lines.push_back(line);
        start = end + 1;
    }
    lines.push_back("");
    lines.push_back("Press Enter or click to go on.");
    const auto paint = [&] {
        for (size_t i = 0; i < lines.size(); ++i) {
            const int y = kTop + static_cast<int>(i) * kLineHeight;
            const int count = static_cast<int>(lines[i].size());
            if (i == 0)
                paintStatus(lines[i].c_str(), count, kLeft, y);
            else
                paintStatusLine(lines[i].c_str(), count, kLeft, y);
        }
    };
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
    paint();
    for (;;) {
        SDL_Event raw;
        if (!SDL_WaitEventTimeout(&raw, 100))
            continue;
        if (rawHook_)
            rawHook_(raw);
        if (raw.type == SDL_QUIT ||
            (raw.type == SDL_WINDOWEVENT && raw.window.event == SDL_WINDOWEVENT_CLOSE)) {
            if (!closeSent_) {
                closeSent_ = true;
                queue_.push_back(WindowEvent{EventType::Close, 0, 0});
            }
            break;
        }
        if ((raw.type == SDL_KEYDOWN && !raw.key.repeat &&
             (raw.key.keysym.sym == SDLK_RETURN || raw.key.keysym.sym == SDLK_KP_ENTER ||
              raw.key.keysym.sym == SDLK_ESCAPE || raw.key.keysym.sym == SDLK_SPACE)) ||
            raw.type == SDL_MOUSEBUTTONDOWN)
            break;
        if (raw.type == SDL_WINDOWEVENT && (raw.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                            raw.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
            paint();
    }
    // The game draws its own picture again.
    enqueue(WindowEvent{EventType::Paint, 0, 0});
    return true;
}

bool SdlWindow::fileDialog(const FileDialog& dialog, bool save, std::string& path) {
    if (dialogsDisabled())
        return false;
    FileDialog shown = dialog;
    if (!shown.folder.empty()) {
        std::string error;
        if (!makeFolders(shown.folder, error)) {
            std::fprintf(stderr, "Dravik: %s; the dialog opens in the current folder\n",
                         error.c_str());
            shown.folder.clear();
        }
    }
    const ChooserOutcome outcome = chooseFile(shown, save, parentWindowHandle(), path,
                                              [this] { return keepWaitingForDialog(); });
    if (outcome == ChooserOutcome::Unavailable) {
        // Said where the player looks, not only on stderr.
        std::fprintf(stderr, "Dravik: %s\n", kNoFileChooserMessage);
        messageBox(kNoFileChooserMessage, kTitle);
    }
    return outcome == ChooserOutcome::Chosen;
}

bool SdlWindow::openFileDialog(const FileDialog& dialog, std::string& path) {
    return fileDialog(dialog, false, path);
}

bool SdlWindow::saveFileDialog(const FileDialog& dialog, std::string& path) {
    return fileDialog(dialog, true, path);
}
