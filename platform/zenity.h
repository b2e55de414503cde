// Message boxes and recording file dialogs through the zenity program: the argument lists, a
// bounded run of the program, and the load and save dialog flows built on them.
#pragma once

#include <string>
#include <vector>

#include "app/window_services.h"

// How a zenity run ended. Declined covers Cancel, No, closing the dialog and a timeout.
enum class ZenityStatus { Accepted, Declined, Missing, Failed };

struct ZenityReply {
    ZenityStatus status = ZenityStatus::Failed;
    std::string output;  // what zenity printed, at most kZenityOutputLimit bytes
};

constexpr size_t kZenityOutputLimit = 4096;

// Argument lists, without the program name. The texts go through verbatim (no markup, no escape
// sequences), so any UTF-8 text shows as it stands.
std::vector<std::string> messageBoxArgs(const std::string& text, const std::string& caption);
std::vector<std::string> openDialogArgs(const FileDialog& dialog);
std::vector<std::string> saveDialogArgs(const FileDialog& dialog);
std::vector<std::string> overwriteQuestionArgs(const std::string& path, const std::string& title);

// Runs "zenity" from PATH with `args` (no shell) and waits for it. More than kZenityOutputLimit
// bytes of output count as a failure; the rest is read and dropped so that zenity never blocks.
ZenityReply runZenity(const std::vector<std::string>& args);

// DRAVIK_NO_DIALOGS=1 in the environment turns every message box and file dialog off (the message
// still goes to stderr and a dialog counts as cancelled), for automated and headless runs.
bool dialogsDisabled();

// Whether a display server is named in the environment, so that zenity can show anything at all.
bool displayAvailable();

// The load dialog: true with the chosen path when the player picked an existing regular file.
bool zenityOpenFile(const FileDialog& dialog, std::string& path);

// The save dialog: true with the chosen path, the default extension added when the name has none.
// A name that only exists once the extension is added is confirmed with a question; "No" opens
// the dialog again.
bool zenitySaveFile(const FileDialog& dialog, std::string& path);
