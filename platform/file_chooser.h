// The recording file dialogs: the desktop's file chooser portal, zenity and kdialog, tried in this
// order, with the rules every one of them shares (the default extension, the overwrite question).
#pragma once

#include <string>
#include <vector>

#include "app/window_services.h"
#include "platform/helper_program.h"

// Unavailable: this chooser is not there (no portal on the session bus, the program not
// installed), so the next one is tried. Interrupted: the game is ending; the dialog was closed.
enum class ChooserOutcome { Chosen, Cancelled, Unavailable, Interrupted };

// What the player is told when no chooser at all is there.
constexpr const char* kNoFileChooserMessage =
    "No file dialog can be shown to load or save a recording.\n"
    "Install zenity (Debian package zenity) or kdialog (Debian package kdialog), or run the game "
    "on a desktop with xdg-desktop-portal.";

// The game window's X11 id in decimal, from a parent handle "x11:<hex>"; empty for any other.
std::string x11WindowId(const std::string& parentWindow);

// Arguments that make a zenity or kdialog dialog a child of the game window, so that it stays
// above it (the game window takes no input while the dialog is open). Empty when the game
// window is not an X11 one.
std::vector<std::string> attachArgs(const std::string& program, const std::string& parentWindow);

// `args` with attachArgs added: after them for zenity, before them for kdialog.
std::vector<std::string> attached(const std::string& program, std::vector<std::string> args,
                                  const std::string& parentWindow);

// kdialog's argument lists, without the program name.
std::vector<std::string> kdialogOpenArgs(const FileDialog& dialog);
std::vector<std::string> kdialogSaveArgs(const FileDialog& dialog);
std::vector<std::string> kdialogQuestionArgs(const std::string& text, const std::string& title);

ChooserOutcome kdialogChooseOpen(const FileDialog& dialog, std::string& path,
                                 const KeepWaiting& keepWaiting = {},
                                 const std::string& parentWindow = {});
ChooserOutcome kdialogChooseSave(const FileDialog& dialog, std::string& path,
                                 const KeepWaiting& keepWaiting = {},
                                 const std::string& parentWindow = {});

// The text of the question asked before a name that only the added extension makes an existing
// file is replaced.
std::string overwriteQuestion(const std::string& path);

// Asks the player a yes/no question with zenity, else kdialog: Accepted for yes, Declined for no.
HelperStatus askYesNo(const std::string& text, const std::string& title,
                      const KeepWaiting& keepWaiting, const std::string& parentWindow = {});

// The path a save dialog's answer `chosen` stands for: the default extension added; when that
// names an existing file that the dialog did not ask about, the player is asked (Declined: choose
// again). Accepted with `path` set, Declined, or Interrupted.
HelperStatus finishSaveName(const FileDialog& dialog, const std::string& chosen, std::string& path,
                            const KeepWaiting& keepWaiting, const std::string& parentWindow = {});

// One chooser in the order of trial.
struct FileChooser {
    const char* name;
    ChooserOutcome (*choose)(const FileDialog& dialog, bool save, const std::string& parentWindow,
                             std::string& path, const KeepWaiting& keepWaiting);
};

// The portal, zenity, kdialog.
const std::vector<FileChooser>& fileChoosers();

// Runs the first chooser that is there. Unavailable when none is: the caller tells the player.
// `parentWindow` names the game window for the portal ("x11:1a00007"; empty when unknown).
ChooserOutcome chooseFile(const FileDialog& dialog, bool save, const std::string& parentWindow,
                          std::string& path, const KeepWaiting& keepWaiting = {});
