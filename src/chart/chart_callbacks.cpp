#include "chart/chart_callbacks.h"

#include "runtime/callback_registry.h"

void registerChartCallbacks() {}
