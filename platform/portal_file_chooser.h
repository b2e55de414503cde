// The recording file dialogs through the desktop's file chooser portal
// (org.freedesktop.portal.FileChooser on the session bus, through GLib's GDBus): the dialog of the
// desktop itself, and the one that works inside a Flatpak sandbox.
#pragma once

#include <string>

#include "app/window_services.h"
#include "platform/file_chooser.h"

// Asks the portal for a file to open (`save` false) or a name to save under. Unavailable when
// there is no session bus or no portal on it; it is then not asked again while the game runs.
ChooserOutcome portalChooseFile(const FileDialog& dialog, bool save,
                                const std::string& parentWindow, std::string& path,
                                const KeepWaiting& keepWaiting);

// Forgets that the portal was found missing (for tests that start a bus of their own).
void resetPortalAvailability();
