#pragma once
// The bridge's [modbus] section: Modbus TCP served to other masters (a
// SCADA, a service tool) through one line's own turn-taking, since only one
// master may talk on an RS-485 line and the bridge is it.
#include "serve/setting.h"

#include <set>
#include <string>
#include <string_view>

struct ModbusConfig {
    std::string listen;  // "127.0.0.1:1502"; no server while empty
    int listenLine = 0;  // where it stands
    int sectionLine = 0; // where [modbus] stands; 0 when there is none
    std::string line;    // the [line NAME] it serves
    int lineLine = 0;
    // What another master may write; each word also in the line's own
    // `writes`, the one gate for every write to its controllers.
    std::set<Setting> writes;
    int writesLine = 0;
    // Seconds: a read of what the bridge polls anyway is answered from a
    // poll at most this old, so many clients cost the line nothing more.
    double maxAge = 2.0;
};

// One `key = value` of the section; why not, or empty.
std::string modbusKey(std::string_view key, std::string_view value, int lineNo, ModbusConfig& m);
