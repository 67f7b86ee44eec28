#include "params/params_state.h"

ParamsState gParams;

void resetParamsState() {
    gParams = ParamsState{};
}

void applyDecimalScale() {
    gParams.dpDivisor = gParams.dpMultiplier = gParams.parmRecord.decimalPoint != 0 ? 10.0f : 1.0f;
}
