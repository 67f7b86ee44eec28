#include "program/program_callbacks.h"

#include "runtime/callback_registry.h"

void registerProgramCallbacks() {}
