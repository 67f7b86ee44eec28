#pragma once
// A poll as InfluxDB's line protocol has it: one point of measurement q7,
// tagged with the line, the id and the unit, holding the values the poll
// read (and the run's, while a run holds the controller), stamped with the
// poll's own time in milliseconds.
//
//   q7,id=1,line=furnace,unit=C pv=29.1,sv=25.0,mode="on",alarm1=0i,alarm2=0i 1765361702123
#include "serve/bridge_line.h"

#include <chrono>
#include <string>
#include <string_view>

// The point of a good poll; empty when it read no value at all.
std::string linePoint(std::string_view line, int id, const Reading& r,
                      std::chrono::system_clock::time_point when);

// A tag's key or value: commas, equals signs and blanks escaped; a line
// break, which no point may hold, becomes a blank.
std::string escapedTag(std::string_view text);
// A string field's value, quoted, its quotes and backslashes escaped.
std::string quotedField(std::string_view text);
