#pragma once
// The port selector shows each COM number with its device and what is known
// of it, and stays current as adapters are plugged in and out.
#include "serial/port_discovery.h"
#include "serial/port_watcher.h"

#include <memory>

class AutoReconnect;

// Scans the machine and labels the selector. GUI thread.
void refreshPortSelector(const DiscoveryRoots& roots);
// Until the returned watcher goes, every device change relabels the selector
// and may bring a lost line back (see auto_reconnect.h). GUI thread.
std::unique_ptr<PortWatcher> startPortWatch(AutoReconnect& reconnect, const DiscoveryRoots& roots);
