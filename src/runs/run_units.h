#pragma once
// The unit a person reads a run's figures in, and the unit each zone's
// values were recorded in. A program says its unit (`unit = F`) and a
// controller shows its own: the store keeps each zone's values as its
// controller gave them, and every view (status lines, `runs show`, the
// report, the CSV, the panels, the web view, the bridge) converts them here
// to the program's unit and labels them with it. Temperatures convert with
// the zero shift; a difference (a deviation, a rate per hour) scales only.
#include "runs/plan.h"
#include "runs/run_record.h"

#include <optional>
#include <string>
#include <vector>

class RunUnits {
  public:
    // shown: the unit figures are read in; nothing where none is known.
    // zones: each zone's unit, nothing where it was not recorded.
    RunUnits(std::optional<TemperatureUnit> shown,
             std::vector<std::optional<TemperatureUnit>> zones);
    // Of a run as the store or the engine has it: its program's unit, each
    // zone's as recorded. A zone an older q7 recorded without its unit is
    // taken to be in the program's, as that q7 showed it. A run whose
    // program no longer reads (or a controller's step program) is shown in
    // its first zone's unit, where that is known.
    static RunUnits of(const RunState& state);

    const std::optional<TemperatureUnit>& shown() const { return shown_; }
    // " °F", to put after a figure (unitSign); empty where no unit is known.
    std::string sign() const;
    // Whether any zone's values change in the shown unit.
    bool converts() const;

    double temperature(int zone, double value) const;
    std::optional<double> temperature(int zone, const std::optional<double>& value) const;
    // A deviation, a band, a rate: degrees without their zero.
    double difference(int zone, double degrees) const;
    // PV, SV and the plan's SV in the shown unit; the output as it is.
    RunSample sample(const RunSample& s) const;

  private:
    std::optional<TemperatureUnit> zoneUnit(int zone) const;

    std::optional<TemperatureUnit> shown_;
    std::vector<std::optional<TemperatureUnit>> zones_;
};

// "540.2 °C": a temperature, or a difference, to a tenth with its unit.
std::string degreesText(double value, TemperatureUnit unit);
