#pragma once
// Firing schedules from other tools, and back:
//  - a profile of time and temperature points, as open-source kiln
//    controllers keep them:
//      {"type": "profile", "name": "cone 05", "data": [[0, 70], [3600, 200], ...]}
//    seconds from the start and temperatures in a unit the file does not
//    say, so the caller names it;
//  - a CSV of segments, one a row, under a header row that names the
//    columns and the unit:
//      rate (°C/h),target (°C),hold (H:MM)
//      80,100,0:30
//      full,1060,0:10
//    The columns come in any order; a rate is degrees per hour or "full".
// What cannot be taken refuses the whole file and names the point or the
// row, as a program file names its line.
#include "runs/program_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

// A profile's points as a program: it starts at the first point's
// temperature; a rise or a fall between two points is a segment at the rate
// they give, a level stretch the hold of the segment before it, and a step
// (two points at one time) a `full` segment. Holds are kept to the minute,
// as program files keep them. name, when not empty, replaces the file's.
std::variant<FiringProgram, std::string> importProfile(std::string_view json, TemperatureUnit unit,
                                                       const std::string& name = "");
// The rows as a program; unit is taken when the header names none.
std::variant<FiringProgram, std::string> importSegmentsCsv(std::string_view csv,
                                                           std::optional<TemperatureUnit> unit,
                                                           const std::string& name);

// The program's plan as a profile's points, from its start (or from
// `from` for a program that starts where the kiln is).
std::string exportProfile(const FiringProgram& program, double from);
std::string exportSegmentsCsv(const FiringProgram& program);
