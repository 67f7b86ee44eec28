#include "monitor/monitor_callbacks.h"

#include "runtime/callback_registry.h"

void registerMonitorCallbacks() {}
