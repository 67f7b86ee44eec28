#pragma once
// What a new run records of each zone's calibration as it starts: the entry
// of the calibration book in force for its controller, and the controller's
// own PV offset and SW filter as it gave them. A zone whose registers did
// not read is recorded as such, never with a value made up for it, and a
// calibration past its due date is told (the host's warnings) as well as
// recorded.
#include "runs/calibration_book.h"
#include "runs/program_file.h"
#include "runs/run_record.h"
#include "runs/zone.h"

#include <string>
#include <variant>
#include <vector>

struct StampedZone {
    int index = 0;
    std::string name; // "COM1 id 1"
    std::string device;
    int id = 0;
    TemperatureUnit unit = TemperatureUnit::celsius;
    int digits = 0;
    std::variant<ZoneCorrections, std::string> corrections;
};

struct CalibrationStamp {
    std::vector<RunEvent> events;
    std::vector<std::string> warnings; // "COM1 id 1: calibration entry 3 ... is past due"
};

// book: the calibration book as it read, or why it did not.
CalibrationStamp calibrationStamp(const std::variant<CalibrationBook, std::string>& book,
                                  const std::vector<StampedZone>& zones, double now);

// "entry 3: type K, done 2026-11-02 by R. Field (comparison), certificate
// C-118, due 2027-11-02; corrections at 500 °C +0.1, 1000 °C -0.3".
std::string calibrationSummary(const CalibrationEntry& entry);
