#pragma once
// A file that holds secrets (the bridge's credentials, the web view's
// users) is read only when no one but its owner may read or change it:
// a secret in a file others can read is no secret, and one others can
// write is not the owner's.
#include <cstddef>
#include <string>

// Reads the small file at path into *text. Empty when it was read; else
// why not, naming it as what ("the credentials file /etc/q7/cred may be
// read by others (chmod 600 /etc/q7/cred)").
std::string readOwnerOnlyFile(const std::string& path, const std::string& what, std::string* text,
                              std::size_t maxBytes);
