#pragma once
// The traffic as CSV, the same for --trace and the panel's "Save…":
// time, direction, bytes, verdict, meaning, attempt, round trip in ms.
// Numbers are written the same on every desktop.
#include "base/csv_field.h"
#include "traffic/traffic_row.h"

#include <string>
#include <string_view>

// The first line of a file.
std::string csvHeader();
// One row, ending in a line break.
std::string csvLine(const TrafficRow& row);
