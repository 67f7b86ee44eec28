#include "params/unit_labels.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "params/choice_codes.h"
#include "params/params_state.h"

namespace {

std::string degrees(const Controller& c) {
    return unitName(c.parmRecord.unitCF);
}

} // namespace

// The ramp runs in degrees per the finest step of the controller's time
// scale: seconds with MM:SS, minutes with HH:MM.
std::string perTimeUnit(int timeUnit) {
    switch (timeUnit) {
    case 0:
        return "/s";
    case 1:
        return "/min";
    default:
        return " per time code " + formatWhole(timeUnit);
    }
}

std::string unitName(int code) {
    for (const Choice& c : choices::unit)
        if (c.code == code) return std::string(c.label);
    return "(unit code " + formatWhole(code) + ")";
}

std::string degreesSuffix(const Controller& c) {
    return c.isHeld(reg::unitCF) ? " " + degrees(c) : "";
}

std::string degreeRateSuffix(const Controller& c) {
    if (!c.isHeld(reg::unitCF)) return "";
    return " " + degrees(c) + (c.isHeld(reg::timeUnit) ? perTimeUnit(c.parmRecord.ptme) : "");
}

std::string timeUnitSuffix(const Controller& c) {
    if (!c.isHeld(reg::timeUnit)) return "";
    switch (c.parmRecord.ptme) {
    case 0:
        return " (MM:SS)";
    case 1:
        return " (HH:MM)";
    default:
        return " (time code " + formatWhole(c.parmRecord.ptme) + ")";
    }
}
