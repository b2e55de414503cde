// The headless runner's virtual clock, scripted window and scripted input.
#include "headless_platform.h"

#include <algorithm>

#include "game/game_state.h"

bool HeadlessWindow::nextEvent(WindowEvent& event, int32_t timeoutMs) {
    if (!queue_.empty()) {
        event = queue_.front();
        queue_.pop_front();
        return true;
    }
    if (timeoutMs == 0)
        return false;
    if (timeoutMs < 0) {
        // The game waits for an event that no script will send: close the window instead.
        idleWithoutEnd_ = true;
        event = {EventType::Close, 0, 0};
        return true;
    }
    // Jump to the next due step; with a step longer than the game's own, steps come that far apart.
    uint32_t target = ticks_.value + static_cast<uint32_t>(timeoutMs);
    if (game.running) {
        uint32_t due = game.lastStepTick + stepMs_;
        bool waitsForStep = !framesBetweenSteps || target - game.lastStepTick > 30;
        if (static_cast<int32_t>(due - target) > 0 && waitsForStep)
            target = due;
    }
    uint32_t advance = target - ticks_.value;
    if (onAdvance)
        onAdvance(advance);
    ticks_.value = target;
    return false;
}

void HeadlessWindow::paintStatus(const char* text, int count, int x, int y) {
    if (statusPainter)
        statusPainter->paintStatus(text, count, x, y);
}

bool HeadlessWindow::answer(std::string& path) {
    if (answers_.empty())
        return false;
    std::optional<std::string> a = answers_.front();
    answers_.pop_front();
    if (!a)
        return false;
    path = *a;
    return true;
}

bool HeadlessWindow::openFileDialog(const FileDialog&, std::string& path) {
    return answer(path);
}
bool HeadlessWindow::saveFileDialog(const FileDialog& dialog, std::string& path) {
    if (!answer(path))
        return false;
    // As the real dialog does: a name without an extension gets the default one.
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!dialog.defaultExtension.empty() && name.find('.') == std::string::npos)
        path += "." + dialog.defaultExtension;
    return true;
}

PollResult HeadlessInput::pollMouse(MouseState& state) {
    state = MouseState{};
    state.x = dx_;
    state.y = dy_;
    state.wheel = wheel_;
    std::copy(std::begin(buttons_), std::end(buttons_), state.buttons);
    dx_ = dy_ = wheel_ = 0;
    return PollResult::Ok;
}

PollResult HeadlessInput::pollKeyboard(KeyboardState& state) {
    state = keys_;
    return PollResult::Ok;
}
