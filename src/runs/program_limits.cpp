#include "runs/program_limits.h"

#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/plan.h"

namespace {

// value (already in the zone's unit) against the limits; empty when inside.
std::string outside(double value, const ZoneFacts& zone, const std::string& zoneName) {
    // Both lie on the register's grid; half a step keeps a float's last bit out.
    const double half = zone.digits ? 0.05 : 0.5;
    const std::string sign = unitSign(zone.unit);
    if (value < zone.lo - half)
        return "is below the Lo limit of " + zoneName + " (" + formatFixed(zone.lo, zone.digits) +
               sign + ")";
    if (value > zone.hi + half)
        return "is above the Hi limit of " + zoneName + " (" + formatFixed(zone.hi, zone.digits) +
               sign + ")";
    return "";
}

std::string told(double inProgram, const FiringProgram& p, double inZone, const ZoneFacts& zone) {
    std::string text = numberText(inProgram) + unitSign(p.unit);
    if (p.unit != zone.unit)
        text += " (" + formatFixed(inZone, zone.digits) + unitSign(zone.unit) + ")";
    return text;
}

} // namespace

double zoneSetValue(const FiringProgram& program, double planned, double offset,
                    const ZoneFacts& zone) {
    return roundedTo(convertTemperature(planned + offset, program.unit, zone.unit), zone.digits);
}

std::string limitsProblem(const FiringProgram& p, double offset, const ZoneFacts& zone,
                          const std::string& zoneName) {
    const auto check = [&](double planned, double off, int line, const char* what) -> std::string {
        const double v = zoneSetValue(p, planned, off, zone);
        const std::string why = outside(v, zone, zoneName);
        if (why.empty()) return "";
        const std::string offsetText =
            off != 0 ? " with the offset " + numberText(off) : std::string();
        return (line ? "line " + formatWhole(line) + ": " : std::string()) + what + " " +
               told(planned, p, v, zone) + offsetText + " " + why;
    };
    if (p.start)
        if (auto why = check(*p.start, offset, p.startLine, "the start"); !why.empty()) return why;
    for (const ProgramSegment& s : p.segments)
        if (auto why = check(s.target, offset, s.line, "the target"); !why.empty()) return why;
    // The safe set value is the same for every zone.
    if (p.end == EndAction::sv)
        if (auto why = check(p.endSv, 0, p.endLine, "end sv"); !why.empty()) return why;
    return "";
}
