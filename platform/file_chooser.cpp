// The chain of file choosers, kdialog's dialogs, and the save-name rules they share.
#include "platform/file_chooser.h"

#include <cstdio>
#include <cstdlib>

#include "platform/dialog_paths.h"
#include "platform/portal_file_chooser.h"
#include "platform/zenity.h"

namespace {

std::string kdialogFilter(const FileDialog& dialog) {
    if (dialog.filterPattern.empty())
        return {};
    return dialog.filterPattern + "|" +
           (dialog.filterName.empty() ? dialog.filterPattern : dialog.filterName);
}

std::string chosenPath(const HelperReply& reply) {
    if (reply.status != HelperStatus::Accepted)
        return {};
    return withoutTrailingNewline(reply.output);
}

ChooserOutcome fromZenity(const FileDialog& dialog, bool save, const std::string& parentWindow,
                          std::string& path, const KeepWaiting& keepWaiting) {
    return save ? zenityChooseSave(dialog, path, keepWaiting, parentWindow)
                : zenityChooseOpen(dialog, path, keepWaiting, parentWindow);
}

ChooserOutcome fromKdialog(const FileDialog& dialog, bool save, const std::string& parentWindow,
                           std::string& path, const KeepWaiting& keepWaiting) {
    return save ? kdialogChooseSave(dialog, path, keepWaiting, parentWindow)
                : kdialogChooseOpen(dialog, path, keepWaiting, parentWindow);
}

}  // namespace

std::string x11WindowId(const std::string& parentWindow) {
    const std::string prefix = "x11:";
    if (parentWindow.compare(0, prefix.size(), prefix) != 0 || parentWindow.size() == prefix.size())
        return {};
    char* end = nullptr;
    const unsigned long id = std::strtoul(parentWindow.c_str() + prefix.size(), &end, 16);
    if (*end != '\0' || id == 0)
        return {};
    return std::to_string(id);
}

std::vector<std::string> attachArgs(const std::string& program, const std::string& parentWindow) {
    const std::string id = x11WindowId(parentWindow);
    if (id.empty())
        return {};
    if (program == "kdialog")
        return {"--attach", id};
    return {"--attach=" + id, "--modal"};
}

std::vector<std::string> attached(const std::string& program, std::vector<std::string> args,
                                  const std::string& parentWindow) {
    const std::vector<std::string> attach = attachArgs(program, parentWindow);
    args.insert(program == "kdialog" ? args.begin() : args.end(), attach.begin(), attach.end());
    return args;
}

std::vector<std::string> kdialogOpenArgs(const FileDialog& dialog) {
    std::vector<std::string> args{"--title", dialog.title, "--getopenfilename",
                                  dialog.folder.empty() ? "." : dialog.folder + "/"};
    if (!dialog.filterPattern.empty())
        args.push_back(kdialogFilter(dialog));
    return args;
}

std::vector<std::string> kdialogSaveArgs(const FileDialog& dialog) {
    const std::string folder = dialog.folder.empty() ? "." : dialog.folder;
    std::vector<std::string> args{"--title", dialog.title, "--getsavefilename",
                                  folder + "/" + dialog.proposedName};
    if (!dialog.filterPattern.empty())
        args.push_back(kdialogFilter(dialog));
    return args;
}

std::vector<std::string> kdialogQuestionArgs(const std::string& text, const std::string& title) {
    return {"--title", title, "--warningyesno", text};
}

std::string overwriteQuestion(const std::string& path) {
    return path + " already exists.\nDo you want to replace it?";
}

HelperStatus askYesNo(const std::string& text, const std::string& title,
                      const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    HelperStatus status =
        runHelper("zenity", attached("zenity", overwriteQuestionArgsFor(text, title), parentWindow),
                  keepWaiting)
            .status;
    if (status == HelperStatus::Missing) {
        status = runHelper("kdialog",
                           attached("kdialog", kdialogQuestionArgs(text, title), parentWindow),
                           keepWaiting)
                     .status;
    }
    return status;
}

HelperStatus finishSaveName(const FileDialog& dialog, const std::string& chosen, std::string& path,
                            const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    const std::string full = withDefaultExtension(chosen, dialog.defaultExtension);
    // The dialog confirmed the name without the extension; the name with it is asked about here.
    if (full != chosen && dialog.confirmOverwrite && pathExists(full)) {
        const HelperStatus answer =
            askYesNo(overwriteQuestion(full), dialog.title, keepWaiting, parentWindow);
        if (answer == HelperStatus::Declined || answer == HelperStatus::Interrupted)
            return answer;
        if (answer != HelperStatus::Accepted)
            return HelperStatus::Failed;
    }
    path = full;
    return HelperStatus::Accepted;
}

ChooserOutcome kdialogChooseOpen(const FileDialog& dialog, std::string& path,
                                 const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    const HelperReply reply = runHelper(
        "kdialog", attached("kdialog", kdialogOpenArgs(dialog), parentWindow), keepWaiting);
    if (reply.status == HelperStatus::Missing)
        return ChooserOutcome::Unavailable;
    if (reply.status == HelperStatus::Interrupted)
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

ChooserOutcome kdialogChooseSave(const FileDialog& dialog, std::string& path,
                                 const KeepWaiting& keepWaiting, const std::string& parentWindow) {
    for (;;) {
        // kdialog's save dialog asks itself before a chosen existing file is replaced.
        const HelperReply reply = runHelper(
            "kdialog", attached("kdialog", kdialogSaveArgs(dialog), parentWindow), keepWaiting);
        if (reply.status == HelperStatus::Missing)
            return ChooserOutcome::Unavailable;
        if (reply.status == HelperStatus::Interrupted)
            return ChooserOutcome::Interrupted;
        const std::string chosen = chosenPath(reply);
        if (chosen.empty())
            return ChooserOutcome::Cancelled;
        switch (finishSaveName(dialog, chosen, path, keepWaiting, parentWindow)) {
            case HelperStatus::Accepted:
                return ChooserOutcome::Chosen;
            case HelperStatus::Declined:
                continue;
            case HelperStatus::Interrupted:
                return ChooserOutcome::Interrupted;
            default:
                return ChooserOutcome::Cancelled;
        }
    }
}

const std::vector<FileChooser>& fileChoosers() {
    static const std::vector<FileChooser> choosers = {
        {"the desktop's file chooser portal", portalChooseFile},
        {"zenity", fromZenity},
        {"kdialog", fromKdialog},
    };
    return choosers;
}

ChooserOutcome chooseFile(const FileDialog& dialog, bool save, const std::string& parentWindow,
                          std::string& path, const KeepWaiting& keepWaiting) {
    for (const FileChooser& chooser : fileChoosers()) {
        const ChooserOutcome outcome =
            chooser.choose(dialog, save, parentWindow, path, keepWaiting);
        if (outcome != ChooserOutcome::Unavailable)
            return outcome;
    }
    return ChooserOutcome::Unavailable;
}
