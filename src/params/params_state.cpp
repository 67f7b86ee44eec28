#include "params/params_state.h"

#include "link/registers.h"
#include "params/register_map.h"

void noteHeld(uint16_t reg) {
    sessionController().noteHeld(reg);
}

bool isHeld(uint16_t reg) {
    return sessionController().isHeld(reg);
}

void forgetHeld(uint16_t reg) {
    sessionController().forgetHeld(reg);
}

void forgetAllHeld() {
    sessionController().forgetAllHeld();
}

void takeIntoRecord(const ParmRecord& values) {
    ParmRecord& rec = sessionController().parmRecord;
    for (const ParmRegister& r : parmRegisters()) {
        const bool same =
            r.isReal() ? rec.*(r.real) == values.*(r.real) : rec.*(r.word) == values.*(r.word);
        if (!same) forgetHeld(r.reg);
    }
    rec = values;
}

void applyDecimalScale() {
    Controller& c = sessionController();
    const Scale scale = Scale::ofDecimalPoint(c.parmRecord.decimalPoint);
    // A scaled value kept from the old scale is ten times off the
    // controller's under the new one, until it is read (or written) again.
    if (scale != c.scale())
        for (const ParmRegister& r : parmRegisters())
            if (r.enc == Encoding::Scaled) c.forgetHeld(r.reg);
    c.setScale(scale);
}

TemperatureLimits temperatureLimits() {
    const Scale scale = sessionController().scale();
    return {scale.lowest(), scale.highest()};
}

TemperatureLimits setValueLimits() {
    const ParmRecord& rec = sessionController().parmRecord;
    if (isHeld(reg::loLimit) && isHeld(reg::hiLimit) && rec.loLimit <= rec.hiLimit)
        return {rec.loLimit, rec.hiLimit};
    return temperatureLimits();
}
