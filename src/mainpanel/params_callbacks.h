#pragma once
// Registers the callbacks of this subsystem by the names the panel files use.

class Controller;
struct Rescale;
// The unit and decimal point controls bring rescale's followers up to date.
void registerParamsCallbacks(Controller& c, Rescale& rescale);
