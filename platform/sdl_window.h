// The game's window on SDL2: its creation, the event queue as the window procedure sees it, full
// screen, the status lines, message boxes and the recording file dialogs.
#pragma once

#include <SDL.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/window_services.h"

class StatusPainter;

// The Windows virtual-key code of an SDL key: letters by their layout's letter (by position on
// layouts without Latin letters), digits, F1 to F12, arrows, modifiers and a few others; 0 for
// keys that have none here.
int virtualKeyCode(SDL_Keycode key, SDL_Scancode scancode);

class SdlWindow : public WindowServices {
  public:
    SdlWindow();
    // Destroys the SDL window for good: the graphics device must be gone by then.
    ~SdlWindow() override;
    SdlWindow(const SdlWindow&) = delete;
    SdlWindow& operator=(const SdlWindow&) = delete;

    // Starts SDL video, events and game controllers (without them when they do not start) and
    // opens the "Dravik" window: 640 x 480 client area, resizable, for OpenGL, with the icon
    // media/dravik.png when that file is there.
    bool create();
    // create() failed because there is no display at all (as opposed to a window that could not
    // be made on one).
    bool noDisplay() const { return noDisplay_; }
    SDL_Window* handle() const { return window_; }

    // Sees every SDL event this window takes, before it is turned into a window event.
    void setRawEventHook(std::function<void(const SDL_Event&)> hook) { rawHook_ = std::move(hook); }
    // Repaints the window while a dialog or message box is open: what the window procedure does
    // for a Paint event. Nothing else of the game runs meanwhile.
    void setModalPaintHook(std::function<void()> hook) { modalPaintHook_ = std::move(hook); }
    // Told whenever the window goes full screen (true) or back to a window (false), so that the
    // graphics device can keep the picture's proportions.
    void setFullscreenHook(std::function<void(bool)> hook) { fullscreenHook_ = std::move(hook); }

    // Full screen on the window's current display at the desktop's resolution, or back to the
    // window. Alt+Enter and F11 toggle it; the window procedure never sees those keys. False, with
    // the reason on stderr, when SDL refuses.
    bool setFullscreen(bool on);
    bool isFullscreen() const { return fullscreen_; }

    bool nextEvent(WindowEvent& event, int32_t timeoutMs) override;
    void postQuit(int code) override;
    // Hides the window and stops its events; the SDL window itself lives on until the destructor
    // so that the graphics device can still release its resources on it.
    void destroyWindow() override;
    void invalidate() override;
    ClientRect clientRect() override;
    void paintStatus(const char* text, int count, int x, int y) override;
    void paintStatusLine(const char* text, int count, int x, int y) override;
    void messageBox(const std::string& text, const std::string& caption) override;
    bool openFileDialog(const FileDialog& dialog, std::string& path) override;
    bool saveFileDialog(const FileDialog& dialog, std::string& path) override;

    // One look at the window while a dialog is open: a repaint request is answered through the
    // modal paint hook, input is dropped (the window is as good as disabled), and a request to
    // end the game (SIGTERM, SIGINT, closing the window) queues Close and returns false, which
    // closes the dialog.
    bool keepWaitingForDialog();

  private:
    // The last way to show a message: drawn in the game window itself as a status picture,
    // until a key or a click. False when there is no window to draw in.
    bool messageInWindow(const std::string& text);
    bool fileDialog(const FileDialog& dialog, bool save, std::string& path);
    // "x11:<window id>" for the file chooser portal; empty when not on X11.
    std::string parentWindowHandle() const;
    // Hands `raw` to the hook and translates it; false when it means nothing to the procedure.
    bool take(const SDL_Event& raw, WindowEvent& event);
    bool translate(const SDL_Event& raw, WindowEvent& event);
    // Moves everything SDL holds into the queue, so that a posted event comes after it.
    void drainPending();
    void enqueue(const WindowEvent& event);
    void setIcon();
    // Window keys of its own (full screen); true when `raw` was one of them.
    bool takeWindowKey(const SDL_Event& raw);
    void paintStatusLines();

    struct StatusText {
        std::string text;
        int x = 0, y = 0;
    };
    // A status picture holds at most this many lines; more are not drawn.
    static constexpr size_t kMaxStatusLines = 8;

    SDL_Window* window_ = nullptr;
    uint32_t windowId_ = 0;
    bool sdlStarted_ = false;
    bool noDisplay_ = false;
    bool controllersStarted_ = false;
    bool fullscreen_ = false;
    // Full screen without a window manager: the window itself made borderless and as large as
    // the desktop, since nothing would carry out the full-screen request; and where it was.
    bool desktopWindow_ = false;
    int windowedX_ = 0, windowedY_ = 0, windowedW_ = 0, windowedH_ = 0;
    // Whether a window manager runs on the X display (none under a bare X server).
    bool windowManagerRuns() const;
    bool setDesktopWindow(bool on);
    bool destroyed_ = false;
    bool closeSent_ = false;
    std::deque<WindowEvent> queue_;
    std::function<void(const SDL_Event&)> rawHook_;
    std::function<void(bool)> fullscreenHook_;
    std::function<void()> modalPaintHook_;
    std::vector<StatusText> status_;  // the lines of the status picture shown last
    std::unique_ptr<StatusPainter> painter_;
};
