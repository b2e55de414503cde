// Shared set-up for the picture tests: a fresh game drawing on the recording device, a scratch
// working directory to hold media files, and a window that keeps the messages it was shown.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/window_services.h"
#include "fakes/recording_device.h"
#include "game/game_state.h"

// Keeps every message box; the rest of the window does nothing.
class MessageWindow : public WindowServices {
  public:
    std::vector<std::string> messages;
    std::vector<std::string> captions;

    bool nextEvent(WindowEvent&, int32_t) override { return false; }
    void postQuit(int) override {}
    void destroyWindow() override {}
    void invalidate() override {}
    ClientRect clientRect() override { return {}; }
    void paintStatus(const char*, int, int, int) override {}
    void messageBox(const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        captions.push_back(caption);
    }
    bool openFileDialog(const FileDialog&, std::string&) override { return false; }
    bool saveFileDialog(const FileDialog&, std::string&) override { return false; }
};

// Makes a fresh directory the current one for the life of the object, with a media/ folder in it.
class ScratchDirectory {
  public:
    ScratchDirectory() : previous_(std::filesystem::current_path()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "dravik-picture-XXXXXX");
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()))
            path_ = name.data();
        std::filesystem::create_directories(path_ / "media");
        std::filesystem::current_path(path_);
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// An uncompressed A8R8G8B8 DDS file of one colour.
inline void writeDds(const std::filesystem::path& path, uint32_t width, uint32_t height,
                     uint32_t argb) {
    uint32_t header[32] = {};
    std::memcpy(&header[0], "DDS ", 4);
    header[1] = 124;                             // header size
    header[2] = 0x1 | 0x2 | 0x4 | 0x8 | 0x1000;  // caps, height, width, pitch, pixel format
    header[3] = height;
    header[4] = width;
    header[5] = width * 4;    // pitch
    header[19] = 32;          // pixel format size
    header[20] = 0x40 | 0x1;  // RGB with alpha
    header[22] = 32;          // bits per pixel
    header[23] = 0x00FF0000;
    header[24] = 0x0000FF00;
    header[25] = 0x000000FF;
    header[26] = 0xFF000000;
    header[27] = 0x1000;  // texture
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, argb);
    out.write(reinterpret_cast<const char*>(pixels.data()),
              static_cast<std::streamsize>(pixels.size() * sizeof(uint32_t)));
}

// A game at its program-load values drawing on a recording device, with the message window.
class PictureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetGameState();
        auto recording = std::make_unique<RecordingDevice>();
        device = recording.get();
        game.device = std::move(recording);
        game.mainWindow = &window;
    }
    void TearDown() override { resetGameState(); }

    RecordingDevice* device = nullptr;
    MessageWindow window;
};

// The game's generator, written out once more so that tests check the order of the draws.
class ReferenceRandom {
  public:
    explicit ReferenceRandom(uint32_t seed) : state_(seed) {}
    int32_t next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & 0x7FFF);
    }

  private:
    uint32_t state_;
};

// Where a sprite draw puts the texel p, by the mapping the Sprite interface promises.
inline Vec2 spriteTexelOnScreen(const DeviceCall& call, Vec2 p) {
    Vec2 q{p.x * call.scaling.x, p.y * call.scaling.y};
    float b = -call.rotation;
    float dx = q.x - call.centre.x, dy = q.y - call.centre.y;
    Vec2 turned{call.centre.x + dx * std::cos(b) - dy * std::sin(b),
                call.centre.y + dx * std::sin(b) + dy * std::cos(b)};
    return {turned.x + call.translation.x, turned.y + call.translation.y};
}
