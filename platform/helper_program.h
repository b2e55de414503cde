// Runs a helper program (zenity, kdialog) that shows a dialog, and waits for its answer while the
// game window keeps being painted.
#pragma once

#include <functional>
#include <string>
#include <vector>

// How a run ended. Declined covers Cancel, No, closing the dialog and a timeout; Interrupted: the
// wait was ended from our side (the game is ending) and the helper was stopped.
enum class HelperStatus { Accepted, Declined, Missing, Failed, Interrupted };

struct HelperReply {
    HelperStatus status = HelperStatus::Failed;
    std::string output;  // what the helper printed, at most kHelperOutputLimit bytes
};

constexpr size_t kHelperOutputLimit = 4096;

// Called about every 10 ms while a helper runs: keeps the game window painted. False stops the
// helper (its dialog closes) and the run ends as Interrupted.
using KeepWaiting = std::function<bool()>;

// Runs `program` from PATH with `args` (no shell) and waits for it. Exit code 0 is Accepted, 1
// and 5 (zenity's timeout) Declined, anything else Failed. More than kHelperOutputLimit bytes of
// output count as a failure; the rest is read and dropped so that the helper never blocks.
HelperReply runHelper(const std::string& program, const std::vector<std::string>& args,
                      const KeepWaiting& keepWaiting = {});
