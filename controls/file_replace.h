// Replacing a file's whole content safely: a temporary file beside it, renamed over it once it is
// complete on disk, so that a failed or killed save never leaves half a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The temporary files are named ".dravik-save-<process id>-<serial>.tmp": short, so that a name
// up to the file system's limit still saves, and recognisable, so that one a killed save left
// behind is removed by the next save into the same folder.
constexpr const char* kTemporaryPrefix = ".dravik-save-";
constexpr const char* kTemporarySuffix = ".tmp";

// Writes `size` bytes to `path`, creating or replacing the file:
// - a symbolic link is followed: its target gets the new content and the link stays;
// - an existing file keeps its permissions, and its owner and group where the system allows;
// - a file that may not be written (no write permission, for root: no write bit at all), a
//   file held by another copy of the game, and anything that is not a regular file are refused
//   and left as they are.
// On failure `error` says what failed, the file and why ("cannot write PATH: REASON").
bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size,
                         std::string& error);

// Removes this program's temporary files in `folder` that no save is writing any more: not
// locked, and either left by a process that has ended or older than a minute. Returns how many
// were removed.
int removeStaleTemporaries(const std::string& folder);
