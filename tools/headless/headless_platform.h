// The headless runner's platform: a virtual tick counter that moves only when the game would wait,
// a window whose events come from the script, and scripted mouse and keyboard state.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "app/window_services.h"
#include "controls/input_source.h"

class VirtualTicks : public TickSource {
  public:
    uint32_t now() override { return value; }
    uint32_t value = 0;
};

class HeadlessWindow : public WindowServices {
  public:
    HeadlessWindow(VirtualTicks& ticks, uint32_t stepMs) : ticks_(ticks), stepMs_(stepMs) {}

    // Called with the number of milliseconds before the virtual clock moves on by them.
    std::function<void(uint32_t)> onAdvance;
    // Frames are drawn between steps: the clock stops at the frames' ticks too.
    bool framesBetweenSteps = false;
    // Paint the status lines here as well (the real window, when GL is on).
    WindowServices* statusPainter = nullptr;

    void push(WindowEvent event) { queue_.push_back(event); }
    void pushAnswer(std::optional<std::string> answer) { answers_.push_back(std::move(answer)); }
    bool idleWithoutEnd() const { return idleWithoutEnd_; }

    bool nextEvent(WindowEvent& event, int32_t timeoutMs) override;
    void postQuit(int code) override { push({EventType::Quit, 0, code}); }
    void destroyWindow() override { destroyed_ = true; }
    void invalidate() override { push({EventType::Paint, 0, 0}); }
    ClientRect clientRect() override { return {}; }
    void paintStatus(const char* text, int count, int x, int y) override;
    void messageBox(const std::string&, const std::string&) override {}
    bool openFileDialog(const FileDialog& dialog, std::string& path) override;
    bool saveFileDialog(const FileDialog& dialog, std::string& path) override;

  private:
    bool answer(std::string& path);

    VirtualTicks& ticks_;
    uint32_t stepMs_;
    std::deque<WindowEvent> queue_;
    std::deque<std::optional<std::string>> answers_;
    bool destroyed_ = false;
    bool idleWithoutEnd_ = false;
};

class HeadlessInput : public InputSource {
  public:
    void setKey(int scanCode, bool down) {
        if (scanCode >= 0 && scanCode < 256)
            keys_.keys[scanCode] = down ? 0x80 : 0;
    }
    void setButton(int button, bool down) {
        if (button >= 0 && button < 8)
            buttons_[button] = down ? 0x80 : 0;
    }
    void move(int dx, int dy) {
        dx_ += dx;
        dy_ += dy;
    }
    void wheel(int d) { wheel_ += d; }

    bool createSystem() override { return true; }
    bool createDevice(InputKind kind) override {
        kind_ = kind;
        return true;
    }
    bool acquire() override { return true; }
    PollResult reacquire() override { return PollResult::Ok; }
    PollResult pollMouse(MouseState& state) override;
    PollResult pollKeyboard(KeyboardState& state) override;
    void releaseDevice() override {}
    void releaseSystem() override {}

  private:
    InputKind kind_ = InputKind::Keyboard;
    KeyboardState keys_;
    uint8_t buttons_[8] = {};
    int dx_ = 0, dy_ = 0, wheel_ = 0;
};
