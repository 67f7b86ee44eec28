#include "app/state_reset.h"

#include "chart/data_log.h"
#include "link/link_state.h"
#include "params/params_state.h"

void resetAllState() {
    resetLinkState();
    resetParamsState();
    resetDataLogState();
}
