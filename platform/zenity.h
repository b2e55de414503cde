// Message boxes and recording file dialogs through the zenity program: the argument lists, a
// bounded run of the program, and the load and save dialog flows built on them.
#pragma once

#include <string>
#include <vector>

#include "app/window_services.h"
#include "platform/file_chooser.h"
#include "platform/helper_program.h"

using ZenityStatus = HelperStatus;
using ZenityReply = HelperReply;
constexpr size_t kZenityOutputLimit = kHelperOutputLimit;

// Argument lists, without the program name. The texts go through verbatim (no markup, no escape
// sequences), so any UTF-8 text shows as it stands.
std::vector<std::string> messageBoxArgs(const std::string& text, const std::string& caption);
// The dialogs open in dialog.folder; the save dialog proposes dialog.proposedName there.
std::vector<std::string> openDialogArgs(const FileDialog& dialog);
std::vector<std::string> saveDialogArgs(const FileDialog& dialog);
std::vector<std::string> overwriteQuestionArgs(const std::string& path, const std::string& title);
// A yes/no question with this text.
std::vector<std::string> overwriteQuestionArgsFor(const std::string& text,
                                                  const std::string& title);

// Runs "zenity" from PATH with `args` (runHelper).
ZenityReply runZenity(const std::vector<std::string>& args, const KeepWaiting& keepWaiting = {});

// DRAVIK_NO_DIALOGS=1 in the environment turns every message box and file dialog off (the message
// still goes to stderr and a dialog counts as cancelled), for automated and headless runs.
bool dialogsDisabled();

// Whether a display server is named in the environment, so that zenity can show anything at all.
bool displayAvailable();

// The load dialog: Chosen with the path when the player picked an existing regular file;
// Unavailable when zenity is not installed.
// With `parentWindow` ("x11:<id>") the dialog is attached to the game window.
ChooserOutcome zenityChooseOpen(const FileDialog& dialog, std::string& path,
                                const KeepWaiting& keepWaiting = {},
                                const std::string& parentWindow = {});

// The save dialog: Chosen with the path, the default extension added when the name has none. A
// name that only exists once the extension is added is confirmed with a question; "No" opens the
// dialog again.
ChooserOutcome zenityChooseSave(const FileDialog& dialog, std::string& path,
                                const KeepWaiting& keepWaiting = {},
                                const std::string& parentWindow = {});

// The same, true only for Chosen.
bool zenityOpenFile(const FileDialog& dialog, std::string& path);
bool zenitySaveFile(const FileDialog& dialog, std::string& path);
