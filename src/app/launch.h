#pragma once
// What the command line asks for when it asks for no panel: the usage, the
// list of ports or a headless command.
#include "app/options.h"

#include <optional>

// The exit status once that is done; nothing when the panels are to run.
std::optional<int> runWithoutPanels(const ProgramOptions& options);

// q7's own start: whatever needs no panel runs in this process, which loads
// no window system library at all, so it needs no display and starts at
// once; the panels are a program of their own, q7-panels beside this one,
// started in this process's place.
int launch(int argc, char** argv);
