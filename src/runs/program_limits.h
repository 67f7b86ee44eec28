#pragma once
// Whether a program can run on a controller: every set value it would write
// there within what the controller takes (its Lo and Hi limits), before the
// run starts rather than when a segment gets there. One check for the run
// engine and `q7 programs check`.
#include "runs/program_file.h"
#include "runs/zone.h"

#include <string>

// The set value a zone is given for a planned one: the zone's offset added
// (both in the program's unit), converted to the zone's unit and rounded to
// its display digits.
double zoneSetValue(const FiringProgram& program, double planned, double offset,
                    const ZoneFacts& zone);

// Why the program cannot run on the zone (named in messages as zoneName),
// naming the file's line: "line 12: the target 2000 °C is above the Hi
// limit of COM1 id 1 (1200 °C)". Empty when it can.
std::string limitsProblem(const FiringProgram& program, double offset, const ZoneFacts& zone,
                          const std::string& zoneName);
