#pragma once
// DftLine.prm, beside DftCom.prm: the controllers the Line panel lists on
// each port's line, one port a line, as "COM3: 1, 2, 7". The other ports'
// lists are kept as they are when one port's list is saved.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

inline constexpr const char* kLineListFile = "DftLine.prm";

using LineLists = std::map<int, std::vector<uint16_t>>; // COM number to ids

struct LineListsRead {
    LineLists lists;
    // Why the file could not be taken, naming its line; empty when it was,
    // or when there is none yet (nothing kept is no fault).
    std::string problem;
};

// Ids 1 to 247, each once per port; a port once. Anything else makes the
// whole file bad: a list taken in part would lose the rest on the next save.
LineListsRead parseLineLists(const std::string& text);
std::string formatLineLists(const LineLists& lists);

// The file in the working directory.
LineListsRead loadLineLists();
// Replaces port's list in the file, written atomically. False, with why,
// when it could not be written.
bool saveLineList(int port, const std::vector<uint16_t>& ids, std::string* why);
