// The window and its event queue, status painting, message boxes and file dialogs, as the
// application shell sees them; platform/ implements them on SDL2 and zenity.
#pragma once

#include <cstdint>
#include <string>

// Virtual-key codes of the keys the window procedure handles.
constexpr int kVkControl = 0x11;
constexpr int kVkEscape = 0x1B;
constexpr int kVkLeft = 0x25;
constexpr int kVkUp = 0x26;
constexpr int kVkRight = 0x27;
constexpr int kVkDown = 0x28;
constexpr int kVkM = 0x4D;
constexpr int kVkHome = 0x24;
constexpr int kVkAdd = 0x6B;        // the keypad's +
constexpr int kVkSubtract = 0x6D;   // the keypad's -
constexpr int kVkDecimal = 0x6E;    // the keypad's .
constexpr int kVkOemPlus = 0xBB;    // the =/+ key
constexpr int kVkOemMinus = 0xBD;   // the -/_ key
constexpr int kVkOemPeriod = 0xBE;  // the ./> key
constexpr int kVkF1 = 0x70;
constexpr int kVkF2 = 0x71;
constexpr int kVkF3 = 0x72;
constexpr int kVkF4 = 0x73;
constexpr int kVkF5 = 0x74;
constexpr int kVkF6 = 0x75;

// ControllerButtonDown: a game controller's A button or d-pad up, which choose the controller.
// FocusLost, FocusGained: the window stopped or started taking the keyboard.
enum class EventType {
    KeyDown,
    LeftButtonDown,
    Paint,
    Close,
    Destroy,
    Quit,
    ControllerButtonDown,
    FocusLost,
    FocusGained
};

struct WindowEvent {
    EventType type = EventType::Paint;
    int key = 0;       // KeyDown: virtual-key code
    int quitCode = 0;  // Quit: exit code
};

struct FileDialog {
    std::string title;
    std::string filterName;         // ".dvk (.dvk)"
    std::string filterPattern;      // "*.dvk"
    std::string defaultExtension;   // "" or "dvk"
    bool mustExist = false;         // load: the file must exist
    bool confirmOverwrite = false;  // save: ask before replacing a file
    std::string folder;             // where the dialog opens; made when the dialog is shown
    std::string proposedName;       // save: the file name the dialog proposes
};

struct ClientRect {
    int32_t left = 0, top = 0, right = 640, bottom = 480;
};

class WindowServices {
  public:
    virtual ~WindowServices() = default;

    // Takes the next event, waiting at most timeoutMs for one (0: just look; a negative value:
    // wait as long as it takes). False when none came.
    virtual bool nextEvent(WindowEvent& event, int32_t timeoutMs) = 0;
    // Queues the quit message; the main loop ends when it fetches it.
    virtual void postQuit(int code) = 0;
    // Destroys the window; the caller runs the destruction handling right after.
    virtual void destroyWindow() = 0;
    // Marks the whole window for repainting: a Paint event follows.
    virtual void invalidate() = 0;
    virtual ClientRect clientRect() = 0;

    // Fills the client area with pure blue and draws the first `count` characters of `text` in
    // white at client position (x, y).
    virtual void paintStatus(const char* text, int count, int x, int y) = 0;
    // Adds one more line, drawn the same way, to the status picture that paintStatus began. A
    // window that shows a single status line may leave it out.
    virtual void paintStatusLine(const char* /*text*/, int /*count*/, int /*x*/, int /*y*/) {}

    // A message box with no owner window, the caption and one OK button; UTF-8 text.
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;

    // The player's chosen path, or false when the dialog was cancelled or failed.
    virtual bool openFileDialog(const FileDialog& dialog, std::string& path) = 0;
    virtual bool saveFileDialog(const FileDialog& dialog, std::string& path) = 0;
};

// The platform's millisecond tick counter: unsigned 32 bits, wrapping.
class TickSource {
  public:
    virtual ~TickSource() = default;
    virtual uint32_t now() = 0;
};
