#include "service/service_callbacks.h"

#include "runtime/callback_registry.h"

void registerServiceCallbacks() {}
