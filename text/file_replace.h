// Replacing a whole file so that a failure, or a power cut, never leaves it half written: the one way every
// file the program and its tools write (settings, log, watch list, definitions) reaches the disk.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velnorex {

// Replaces the file at `path` with `bytes`: written to a temporary file beside it, flushed to the disk,
// renamed over it, and the folder flushed so that the rename itself is kept. A failure at any step leaves the
// old file whole and no temporary file behind. An existing file keeps its permissions; a new one gets those
// of any new file (0666 less the umask). A symbolic link to a file replaces the file it points to; a device
// or a pipe is written directly. When the folder takes no new file but the existing file may be written, the
// file is written in place instead (not atomic, but kept). Returns 0, or the system's error number of the
// step that failed.
int ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The system's text for an error number, as the file errors show it after the file's name.
std::string SystemErrorText(int error);

}  // namespace velnorex
