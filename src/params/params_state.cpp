#include "params/params_state.h"

#include "link/registers.h"
#include "params/register_map.h"

ParamsState gParams;

void resetParamsState() {
    gParams = ParamsState{};
}

void noteHeld(uint16_t reg) {
    if (reg < gParams.held.size()) gParams.held.set(reg);
}

bool isHeld(uint16_t reg) {
    return reg < gParams.held.size() && gParams.held.test(reg);
}

void forgetHeld(uint16_t reg) {
    if (reg < gParams.held.size()) gParams.held.reset(reg);
}

void forgetAllHeld() {
    gParams.held.reset();
}

void takeIntoRecord(const ParmRecord& values) {
    ParmRecord& rec = gParams.parmRecord;
    for (const ParmRegister& r : parmRegisters()) {
        const bool same =
            r.isReal() ? rec.*(r.real) == values.*(r.real) : rec.*(r.word) == values.*(r.word);
        if (!same) forgetHeld(r.reg);
    }
    rec = values;
}

void applyDecimalScale() {
    const Scale scale = Scale::ofDecimalPoint(gParams.parmRecord.decimalPoint);
    // A scaled value kept from the old scale is ten times off the
    // controller's under the new one, until it is read (or written) again.
    if (scale != gParams.scale)
        for (const ParmRegister& r : parmRegisters())
            if (r.enc == Encoding::Scaled) forgetHeld(r.reg);
    gParams.scale = scale;
}

TemperatureLimits temperatureLimits() {
    return {gParams.scale.lowest(), gParams.scale.highest()};
}

TemperatureLimits setValueLimits() {
    const ParmRecord& rec = gParams.parmRecord;
    if (isHeld(reg::loLimit) && isHeld(reg::hiLimit) && rec.loLimit <= rec.hiLimit)
        return {rec.loLimit, rec.hiLimit};
    return temperatureLimits();
}
