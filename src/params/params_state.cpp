#include "params/params_state.h"

ParamsState gParams;

void resetParamsState() { gParams = ParamsState{}; }
