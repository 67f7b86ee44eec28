#include "params/params_callbacks.h"

#include "params/bulk_read.h"
#include "runtime/callback_registry.h"

void registerParamsCallbacks() { registerCallback("ReadAllParm", ReadAllParm); }
