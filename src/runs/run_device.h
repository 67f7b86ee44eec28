#pragma once
// The device a run's zone is on. A COM number is only what this process
// calls a device now: another folder's DftCom.prm, another --com or an
// adapter plugged in first gives the number to another kiln. So a zone is
// recorded with the device itself, and a run is found, resumed, stopped and
// refused by it:
// - a serial device by its udev by-id link where there is one (an adapter
//   keeps it in any socket), else by its path with links followed;
// - a gateway by its endpoint, the host in lower case: tcp:// and rtu+tcp://
//   to one host and port are one gateway, one line of controllers;
// - the simulated controller of --simulate as "simulator".
#include "runs/run_record.h"

#include <string>

inline constexpr const char* kSimulatorDevice = "simulator";

// The device a line's port names now, as a zone records it: "COM3" is the
// device this process's COM map gives the number; anything else is a device
// or an endpoint as the bridge names its line.
std::string runDevice(const std::string& port);
// Whether two devices, as recorded or named, are one: the same endpoint, or
// paths that reach the same device node.
bool sameRunDevice(const std::string& a, const std::string& b);
// The device a stored zone is on. A store of version 5 or before recorded
// none for a zone named by its COM number: such a zone is taken to be on the
// device its number gives here now, which is all the program that ran it
// knew of it.
std::string zoneDevice(const ZoneState& zone);
