// Opening the game's files for reading without ever blocking on one that is not a regular file,
// and the English detail of the last file failure, which the message to the player adds as its
// second line.
#pragma once

#include <string>

// "cannot <verb> <path>: <reason>", e.g. "cannot read media/BG.dds: No such file or directory".
std::string fileFailure(const char* verb, const std::string& path, const std::string& reason);
std::string fileFailure(const char* verb, const std::string& path, int errorNumber);

// Why a file of this st_mode is refused: "not a regular file (a FIFO)" and the like.
const char* notRegularFileReason(unsigned mode);

// Opens `path` for reading (close-on-exec). A FIFO, a device or a folder is refused before it can
// block: the open never waits for a writer, and only a regular file is kept. Returns the
// descriptor, or -1 with `error` set to fileFailure("read", path, reason) and errno to the
// system's reason (EISDIR for a folder, EINVAL for any other file that is not a regular one).
int openRegularFile(const std::string& path, std::string& error);

// The detail of the latest failure to read or write a file: set where it fails, taken (and
// cleared) by the message that reports it.
void noteFileFailure(const std::string& detail);
std::string takeFileFailure();
