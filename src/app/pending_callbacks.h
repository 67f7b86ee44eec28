#pragma once
// Callbacks of controls whose full behaviour is still to come: each does the
// least that keeps its panel usable (an Exit hides its panel).
void registerPendingCallbacks();
