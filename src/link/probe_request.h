#pragma once
// The probe request for one id and what its reply says: the connection's
// probe and the scan ask it the same way and judge it the same way.
#include "link/probe_result.h"

#include <cstdint>

class Line;

// The model codes a controller answers the identification with.
constexpr uint8_t kModelAt = '@';
constexpr uint8_t kModelD = 'D';

// Asks controller `id` for its identification once, with the port's time-out.
// answered only for the controller's own good reply with a model code we know.
// Leaves the line's link state alone: that is the caller's to decide.
ProbeResult probeRequest(Line& line, uint16_t id);
