#include "runs/run_units.h"

#include "base/typed_number.h"

#include <utility>

RunUnits::RunUnits(std::optional<TemperatureUnit> shown,
                   std::vector<std::optional<TemperatureUnit>> zones)
    : shown_(shown), zones_(std::move(zones)) {}

RunUnits RunUnits::of(const RunState& state) {
    std::vector<std::optional<TemperatureUnit>> zones;
    for (const ZoneState& z : state.zones)
        zones.push_back(z.unit);
    std::optional<TemperatureUnit> shown;
    if (state.kind == RunKind::program) {
        const auto parsed = parseFiringProgram(state.programText);
        if (const auto* program = std::get_if<FiringProgram>(&parsed)) shown = program->unit;
    }
    if (!shown && !zones.empty()) shown = zones.front();
    return RunUnits(shown, std::move(zones));
}

std::string RunUnits::sign() const {
    return shown_ ? unitSign(*shown_) : "";
}

std::optional<TemperatureUnit> RunUnits::zoneUnit(int zone) const {
    if (zone < 0 || std::size_t(zone) >= zones_.size()) return std::nullopt;
    return zones_[std::size_t(zone)];
}

bool RunUnits::converts() const {
    for (const auto& u : zones_)
        if (shown_ && u && *u != *shown_) return true;
    return false;
}

double RunUnits::temperature(int zone, double value) const {
    const auto from = zoneUnit(zone);
    return from && shown_ ? convertTemperature(value, *from, *shown_) : value;
}

std::optional<double> RunUnits::temperature(int zone, const std::optional<double>& value) const {
    if (!value) return std::nullopt;
    return temperature(zone, *value);
}

double RunUnits::difference(int zone, double degrees) const {
    const auto from = zoneUnit(zone);
    return from && shown_ ? convertDifference(degrees, *from, *shown_) : degrees;
}

RunSample RunUnits::sample(const RunSample& s) const {
    RunSample out = s;
    out.pv = temperature(s.zone, s.pv);
    out.sv = temperature(s.zone, s.sv);
    out.planSv = temperature(s.zone, s.planSv);
    return out;
}

std::string degreesText(double value, TemperatureUnit unit) {
    return numberText(roundedTo(value, 1)) + unitSign(unit);
}
