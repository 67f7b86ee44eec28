#pragma once
// A text as a JSON string, for every message the program writes by hand.
#include <string>
#include <string_view>

// text as a JSON string, quotes included. UTF-8 passes through as it is;
// each byte that is not part of well-formed UTF-8 becomes U+FFFD, the
// replacement character, so the message stays valid JSON.
std::string jsonString(std::string_view text);
