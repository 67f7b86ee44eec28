#pragma once
// The ports as the operator sees them, in the port selector and in
// `q7 --list-ports`: "COM3 (/dev/ttyUSB0 · USB serial adapter · A50285BI)",
// "COM5 (tcp://192.168.1.20:502 · Modbus TCP gateway)".
#include "serial/port_discovery.h"

#include <string>
#include <vector>

// COM n's label: its device, and what is known about the device.
std::string comLabel(int comNumber);
// One line for each number that --com, a UART or an adapter holds, lowest
// first; then one for each adapter left without a number.
std::vector<std::string> portListing();
// Scans the machine, numbers what it found and lists it.
std::vector<std::string> scanAndListPorts(const DiscoveryRoots& roots);
