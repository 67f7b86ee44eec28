#pragma once
#include <string>

// Writes content to a temporary file beside path and renames it over path,
// so a crash or a full disk never leaves a half-written file behind.
// On failure the old file is untouched and *why says what went wrong.
bool writeFileAtomically(const std::string& path, const std::string& content,
                         std::string* why = nullptr);

// Reads at most maxBytes of a small text file; false when it cannot be opened
// or is larger than that.
bool readSmallFile(const std::string& path, std::string* content, std::size_t maxBytes = 65536);
