#pragma once
// The credentials file: secrets (the broker's user and password, a token)
// live only in a file that its owner alone may read, so a file anyone else
// can read is refused rather than used.
#include <string>

// The whole text of the file at path (at most 4 KiB), or why not: it does
// not read, or its mode lets others read it ("chmod 600 PATH" says how to
// mend it).
std::string readSecretFile(const std::string& path, std::string* text);
