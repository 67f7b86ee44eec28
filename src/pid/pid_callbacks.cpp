#include "pid/pid_callbacks.h"

#include "runtime/callback_registry.h"

void registerPidCallbacks() {}
