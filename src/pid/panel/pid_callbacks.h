#pragma once
// Registers the callbacks of this subsystem by the names the panel files use.

class Controller;
struct Rescale;
// Panels that show what a change of unit or decimal point rescales follow it.
void registerPidCallbacks(Controller& c, Rescale& rescale);
