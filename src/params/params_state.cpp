#include "params/params_state.h"

#include "link/registers.h"

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

void applyDecimalScale() {
    gParams.dpDivisor = gParams.dpMultiplier = gParams.parmRecord.decimalPoint != 0 ? 10.0f : 1.0f;
}

TemperatureLimits temperatureLimits() {
    return {-32768.0 / gParams.dpMultiplier, 32767.0 / gParams.dpMultiplier};
}

TemperatureLimits setValueLimits() {
    const ParmRecord& rec = gParams.parmRecord;
    if (isHeld(reg::loLimit) && isHeld(reg::hiLimit) && rec.loLimit <= rec.hiLimit)
        return {rec.loLimit, rec.hiLimit};
    return temperatureLimits();
}
