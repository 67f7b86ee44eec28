#pragma once
// Asks a controller with settings of the operator's choosing beside the live
// connection, with a controller object of its own: the live line keeps its
// controller, its id, its link state and its port's settings, and its next
// request is not taken in by anything the probe leaves on the wire.
#include "link/probe_result.h"

#include <optional>
#include <string>

class Line;

struct LineSettings {
    int port = 1;
    int baud = 19200;
    int parity = 0;
    int stopBits = 2;
    int id = 1;
};

struct SideProbe {
    // The chosen port did not open: the system's reason.
    std::optional<std::string> openError;
    ProbeResult probe;
};

// Control thread. Holds the live line for as long as it takes.
SideProbe probeBeside(Line& live, const LineSettings& chosen);
