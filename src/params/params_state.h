#pragma once
#include "params/parm_record.h"

#include <cstdint>

// The parameter record, the decimal-point factors and the wait popup flag.
struct ParamsState {
    ParmRecord parmRecord;
    // 1.0 without a decimal place, 10.0 with one; only applyDecimalScale changes them.
    float dpDivisor = 1.0f;
    float dpMultiplier = 1.0f;
    int32_t waitShown = 0;
};
extern ParamsState gParams;

void resetParamsState();
// Sets the scale factors from the record's decimal point.
void applyDecimalScale();
