#pragma once
// The port selector shows each COM number with its device and what is known
// of it, and stays current as adapters are plugged in and out.
#include "serial/port_discovery.h"

class Controller;

// Scans the machine and labels the selector. GUI thread.
void refreshPortSelector(const DiscoveryRoots& roots);
// From now on every device change relabels the selector and may bring a
// lost line back (see auto_reconnect.h). GUI thread.
void startPortWatch(Controller& c, const DiscoveryRoots& roots);
void stopPortWatch();
