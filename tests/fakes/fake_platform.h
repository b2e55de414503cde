// Fakes of the platform services for tests: a window whose event queue runs on a virtual clock, a
// tick source reading that clock, and a graphics system that makes recording devices.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/window_services.h"
#include "fakes/recording_device.h"

class VirtualClock {
  public:
    uint32_t now = 0;
};

class FakeTicks : public TickSource {
  public:
    explicit FakeTicks(VirtualClock& clock) : clock_(clock) {}
    uint32_t now() override { return clock_.now; }

  private:
    VirtualClock& clock_;
};

class FakeWindow : public WindowServices {
  public:
    struct Timed {
        uint32_t at;  // virtual time at which it arrives
        WindowEvent event;
    };
    struct Status {
        std::string text;
        int count, x, y;
    };

    explicit FakeWindow(VirtualClock& clock) : clock_(clock) {}

    // Queues an event arriving at virtual time `at` (events keep their queue order).
    void push(uint32_t at, WindowEvent event) { queue.push_back({at, event}); }
    void pushKey(uint32_t at, int key) { push(at, {EventType::KeyDown, key, 0}); }
    // An event that is already waiting.
    void pushNow(WindowEvent event) { push(clock_.now, event); }

    bool nextEvent(WindowEvent& event, int32_t timeoutMs) override;
    void postQuit(int code) override { push(clock_.now, {EventType::Quit, 0, code}); }
    void destroyWindow() override { ++destroyCount; }
    void invalidate() override {
        ++invalidateCount;
        push(clock_.now, {EventType::Paint, 0, 0});
    }
    ClientRect clientRect() override { return client; }
    void paintStatus(const char* text, int count, int x, int y) override {
        statusPaints.push_back({std::string(text, static_cast<size_t>(count)), count, x, y});
        statusLines.clear();
    }
    void paintStatusLine(const char* text, int count, int x, int y) override {
        statusLines.push_back({std::string(text, static_cast<size_t>(count)), count, x, y});
    }
    void messageBox(const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        captions.push_back(caption);
    }
    bool openFileDialog(const FileDialog& dialog, std::string& path) override;
    bool saveFileDialog(const FileDialog& dialog, std::string& path) override;

    std::deque<Timed> queue;
    std::vector<int32_t> waits;  // every timeout asked for
    std::vector<Status> statusPaints;
    std::vector<Status> statusLines;  // the lines added to the last paintStatus
    std::vector<std::string> messages, captions;
    std::vector<FileDialog> dialogs;
    std::deque<std::optional<std::string>> dialogAnswers;  // nullopt: cancelled
    ClientRect client;
    int destroyCount = 0, invalidateCount = 0;

  private:
    bool answer(const FileDialog& dialog, std::string& path);
    VirtualClock& clock_;
};

class FakeGraphicsSystem : public GraphicsSystem {
  public:
    bool displayMode() override { return !failDisplayMode; }
    std::unique_ptr<GraphicsDevice> createDevice(const PresentParameters& params) override {
        lastParams = params;
        if (failCreate)
            return nullptr;
        auto device = std::make_unique<RecordingDevice>();
        lastDevice = device.get();
        return device;
    }
    bool failDisplayMode = false, failCreate = false;
    RecordingDevice* lastDevice = nullptr;
    PresentParameters lastParams;
};
