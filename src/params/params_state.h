#pragma once
#include <cstdint>

// Decimal-point factors and the wait popup flag, owned by the parameter code.
struct ParamsState {
    float dpDivisor = 1.0f;
    float dpMultiplier = 1.0f;
    int32_t waitShown = 0;
};
extern ParamsState gParams;

void resetParamsState();
