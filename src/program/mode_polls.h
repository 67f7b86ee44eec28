#pragma once
// The two polls that watch the controller change its mode by itself, apart
// from the panels they update. Each holds the busy guard and prepares 0.01 s.
#include "link/control_mode.h"
#include "program/poll_decode.h"

#include <cstdint>
#include <optional>

class Controller;

// The run status word (state high, position low) as the program panel reads
// it, or nothing when no good reply came: then the state is unknown.
std::optional<RunStatus> pollRunStatus(Controller& c, int segments);

// The mode once auto-tuning is over (On or Off); nothing while it goes on or
// when no good reply came.
std::optional<ControlMode> pollTuneEnd(Controller& c);

// The control mode the controller holds now; nothing without a good reply.
std::optional<ControlMode> readControlMode(Controller& c);
