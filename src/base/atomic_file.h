#pragma once
#include <string>
#include <sys/stat.h>

// Where a file written to path lands. A symlink is followed to the file it
// points to (which need not exist yet): that file is replaced in its own
// folder and the link stays. Anything but a regular file there (a device,
// a FIFO, a folder) is refused, never replaced.
struct OutputTarget {
    std::string file;    // the file replaced or made
    std::string folder;  // the folder it is renamed into
    bool exists = false; // and then st holds its owner and mode
    struct stat st {};
    std::string refusal; // why nothing may be written there; empty when it may
};
OutputTarget outputTarget(const std::string& path);

// Writes content to a temporary file beside the target and renames it over
// the target, so a crash or a full disk never leaves a half-written file
// behind. An existing file keeps its mode and owner, and the folder is
// synced after the rename. On failure the old file is untouched and *why
// says what went wrong.
bool writeFileAtomically(const std::string& path, const std::string& content,
                         std::string* why = nullptr);

// Reads at most maxBytes of a small text file; false when it cannot be opened,
// is larger than that, or is no regular file, and then *why says which
// ("No such file or directory", "it is a FIFO, not a regular file", "larger
// than 64 KiB"). *mode is the mode of the file that was read, for a caller
// that must know who else may read it.
bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes = 65536,
                   std::string* why = nullptr, mode_t* mode = nullptr);

// Why the input at path is no regular file ("it is a FIFO, not a regular
// file"); empty for a regular file, or for one that does not exist, which
// opening it then reports. Reading a FIFO would wait for a writer for ever,
// and a device or folder holds nothing of ours.
std::string notARegularFile(const std::string& path);
