#include "params/params_state.h"

#include "link/registers.h"
#include "params/register_map.h"

void takeIntoRecord(Controller& c, const ParmRecord& values) {
    ParmRecord& rec = c.parmRecord;
    for (const ParmRegister& r : parmRegisters()) {
        const bool same =
            r.isReal() ? rec.*(r.real) == values.*(r.real) : rec.*(r.word) == values.*(r.word);
        if (!same) c.forgetHeld(r.reg);
    }
    rec = values;
}

void applyDecimalScale(Controller& c) {
    const Scale scale = Scale::ofDecimalPoint(c.parmRecord.decimalPoint);
    // A scaled value kept from the old scale is ten times off the
    // controller's under the new one, until it is read (or written) again.
    if (scale != c.scale())
        for (const ParmRegister& r : parmRegisters())
            if (r.enc == Encoding::Scaled) c.forgetHeld(r.reg);
    c.setScale(scale);
}

TemperatureLimits temperatureLimits(const Controller& c) {
    const Scale scale = c.scale();
    return {scale.lowest(), scale.highest()};
}

TemperatureLimits setValueLimits(const Controller& c) {
    const ParmRecord& rec = c.parmRecord;
    if (c.isHeld(reg::loLimit) && c.isHeld(reg::hiLimit) && rec.loLimit <= rec.hiLimit)
        return {rec.loLimit, rec.hiLimit};
    return temperatureLimits(c);
}
