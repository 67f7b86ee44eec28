#pragma once
// `q7 serve --config FILE`: the bridge between the config's line and its
// broker, headless, until SIGTERM or SIGINT. It logs to stderr.
#include "cli/headless.h"

int runServe(const HeadlessOptions& options);
