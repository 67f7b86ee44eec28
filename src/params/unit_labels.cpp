#include "params/unit_labels.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "params/choice_codes.h"
#include "params/params_state.h"

namespace {

std::string degrees() {
    return unitName(sessionController().parmRecord.unitCF);
}

// The ramp runs in degrees per the finest step of the controller's time
// scale: seconds with MM:SS, minutes with HH:MM.
std::string perTime() {
    switch (sessionController().parmRecord.ptme) {
    case 0:
        return "/s";
    case 1:
        return "/min";
    default:
        return " per time code " + formatWhole(sessionController().parmRecord.ptme);
    }
}

} // namespace

std::string unitName(int code) {
    for (const Choice& c : choices::unit)
        if (c.code == code) return std::string(c.label);
    return "(unit code " + formatWhole(code) + ")";
}

std::string degreesSuffix() {
    return isHeld(reg::unitCF) ? " " + degrees() : "";
}

std::string degreeRateSuffix() {
    if (!isHeld(reg::unitCF)) return "";
    return " " + degrees() + (isHeld(reg::timeUnit) ? perTime() : "");
}

std::string timeUnitSuffix() {
    if (!isHeld(reg::timeUnit)) return "";
    switch (sessionController().parmRecord.ptme) {
    case 0:
        return " (MM:SS)";
    case 1:
        return " (HH:MM)";
    default:
        return " (time code " + formatWhole(sessionController().parmRecord.ptme) + ")";
    }
}
