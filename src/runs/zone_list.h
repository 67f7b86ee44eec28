#pragma once
// The zones a run is given, as `q7 run --zones` and the bridge's run/start
// name them: each by its id, with the line's port when it is not the
// command's own, and its offset: "1,2+10,COM2:7-5".
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct NamedZone {
    int port = 0;      // the COM number
    int id = 0;        // 0: the line's own controller (DftCom.prm's id, or 1)
    double offset = 0; // degrees in the program's unit
};

// The zones the text names; those without a port are on commandPort. Each
// zone once, or nothing with why.
std::optional<std::vector<NamedZone>> parseZones(std::string_view text, int commandPort,
                                                 std::string* why);
