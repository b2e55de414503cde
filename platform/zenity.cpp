// Message boxes and recording file dialogs through zenity, run with fork and execvp.
#include "platform/zenity.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/dialog_paths.h"

std::vector<std::string> messageBoxArgs(const std::string& text, const std::string& caption) {
    return {"--info", "--no-wrap", "--no-markup", "--title=" + caption, "--text=" + text};
}

static std::vector<std::string> fileSelectionArgs(const FileDialog& dialog) {
    std::vector<std::string> args{"--file-selection", "--title=" + dialog.title};
    if (!dialog.filterPattern.empty()) {
        const std::string name =
            dialog.filterName.empty() ? dialog.filterPattern : dialog.filterName;
        args.push_back("--file-filter=" + name + " | " + dialog.filterPattern);
    }
    return args;
}

std::vector<std::string> openDialogArgs(const FileDialog& dialog) {
    std::vector<std::string> args = fileSelectionArgs(dialog);
    // A trailing slash makes zenity open the folder itself, with no name chosen in it.
    if (!dialog.folder.empty())
        args.push_back("--filename=" + dialog.folder + "/");
    return args;
}

std::vector<std::string> saveDialogArgs(const FileDialog& dialog) {
    std::vector<std::string> args = fileSelectionArgs(dialog);
    if (!dialog.folder.empty())
        args.push_back("--filename=" + dialog.folder + "/" + dialog.proposedName);
    args.push_back("--save");
    if (dialog.confirmOverwrite)
        args.push_back("--confirm-overwrite");
    return args;
}

std::vector<std::string> overwriteQuestionArgsFor(const std::string& text,
                                                  const std::string& title) {
    return {"--question", "--no-wrap", "--no-markup", "--title=" + title, "--text=" + text};
}

std::vector<std::string> overwriteQuestionArgs(const std::string& path, const std::string& title) {
    return overwriteQuestionArgsFor(overwriteQuestion(path), title);
}

ZenityReply runZenity(const std::vector<std::string>& args, const KeepWaiting& keepWaiting) {
    return runHelper("zenity", args, keepWaiting);
}

bool dialogsDisabled() {
    const char* value = std::getenv("DRAVIK_NO_DIALOGS");
    return value && std::strcmp(value, "1") == 0;
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// The path of an accepted file selection; empty when the dialog gave none.
static std::string chosenPath(const ZenityReply& reply) {
    if (reply.status != ZenityStatus::Accepted)
        return {};
    return withoutTrailingNewline(reply.output);
}

ChooserOutcome zenityChooseOpen(const FileDialog& dialog, std::string& path,
                                const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    const ZenityReply reply =
        runZenity(attached("zenity", openDialogArgs(dialog), parentWindow), keepWaiting);
    if (reply.status == ZenityStatus::Missing)
        return ChooserOutcome::Unavailable;
    if (reply.status == ZenityStatus::Interrupted)
        return ChooserOutcome::Interrupted;
    const std::string chosen = chosenPath(reply);
    if (chosen.empty())
        return ChooserOutcome::Cancelled;
    if (dialog.mustExist && !isExistingFile(chosen)) {
        std::fprintf(stderr, "Dravik: %s is not an existing file\n", chosen.c_str());
        return ChooserOutcome::Cancelled;
    }
    path = chosen;
    return ChooserOutcome::Chosen;
}

ChooserOutcome zenityChooseSave(const FileDialog& dialog, std::string& path,
                                const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    for (;;) {
        const ZenityReply reply =
            runZenity(attached("zenity", saveDialogArgs(dialog), parentWindow), keepWaiting);
        if (reply.status == ZenityStatus::Missing)
            return ChooserOutcome::Unavailable;
        if (reply.status == ZenityStatus::Interrupted)
            return ChooserOutcome::Interrupted;
        const std::string chosen = chosenPath(reply);
        if (chosen.empty())
            return ChooserOutcome::Cancelled;
        const std::string full = withDefaultExtension(chosen, dialog.defaultExtension);
        // zenity confirmed the name without the extension; the name with it is asked about here.
        if (full != chosen && dialog.confirmOverwrite && pathExists(full)) {
            const ZenityReply answer = runZenity(
                attached("zenity", overwriteQuestionArgs(full, dialog.title), parentWindow),
                keepWaiting);
            if (answer.status == ZenityStatus::Declined)
                continue;
            if (answer.status == ZenityStatus::Interrupted)
                return ChooserOutcome::Interrupted;
            if (answer.status != ZenityStatus::Accepted)
                return ChooserOutcome::Cancelled;
        }
        path = full;
        return ChooserOutcome::Chosen;
    }
}

bool zenityOpenFile(const FileDialog& dialog, std::string& path) {
    return zenityChooseOpen(dialog, path) == ChooserOutcome::Chosen;
}

bool zenitySaveFile(const FileDialog& dialog, std::string& path) {
    return zenityChooseSave(dialog, path) == ChooserOutcome::Chosen;
}
