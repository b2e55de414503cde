// The fake window's virtual-time event queue and dialog answers.
#include "fakes/fake_platform.h"

bool FakeWindow::nextEvent(WindowEvent& event, int32_t timeoutMs) {
    waits.push_back(timeoutMs);
    if (!queue.empty()) {
        const Timed& next = queue.front();
        uint32_t wait = next.at - clock_.now;
        bool due = static_cast<int32_t>(wait) <= 0 || timeoutMs < 0 ||
                   wait <= static_cast<uint32_t>(timeoutMs);
        if (due) {
            if (static_cast<int32_t>(wait) > 0)
                clock_.now = next.at;
            event = next.event;
            queue.pop_front();
            return true;
        }
    }
    if (timeoutMs > 0)
        clock_.now += static_cast<uint32_t>(timeoutMs);
    return false;
}

bool FakeWindow::answer(const FileDialog& dialog, std::string& path) {
    dialogs.push_back(dialog);
    if (dialogAnswers.empty())
        return false;
    std::optional<std::string> a = dialogAnswers.front();
    dialogAnswers.pop_front();
    if (!a)
        return false;
    path = *a;
    return true;
}

bool FakeWindow::openFileDialog(const FileDialog& dialog, std::string& path) {
    return answer(dialog, path);
}

bool FakeWindow::saveFileDialog(const FileDialog& dialog, std::string& path) {
    return answer(dialog, path);
}
