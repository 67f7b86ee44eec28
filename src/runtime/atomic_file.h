#pragma once
#include <string>

// Writes content to a temporary file beside path and renames it over path,
// so a crash or a full disk never leaves a half-written file behind.
// On failure the old file is untouched and *why says what went wrong.
bool writeFileAtomically(const std::string& path, const std::string& content,
                         std::string* why = nullptr);

// Reads at most maxBytes of a small text file; false when it cannot be opened,
// is larger than that, or is no regular file.
bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes = 65536);

// Why the input at path is no regular file ("it is a FIFO, not a regular
// file"); empty for a regular file, or for one that does not exist, which
// opening it then reports. Reading a FIFO would wait for a writer for ever,
// and a device or folder holds nothing of ours.
std::string notARegularFile(const std::string& path);
