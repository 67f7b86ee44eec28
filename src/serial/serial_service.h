#pragma once
// Procedural serial port calls the controller logic is written against.
// Ports are addressed by their 1-based COM number; com_map.h decides which
// device node, or which network endpoint, a number means.
#include "serial/net_endpoint.h"
#include "serial/serial_port.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

// Opening a number whose device another number holds open shares that open
// port; opening a number already open reconfigures it, unless its device
// went away, which is then opened afresh.
int OpenComConfig(int port, const char* deviceName, long baudRate, int parity, int dataBits,
                  int stopBits, int inputQueueSize, int outputQueueSize);
// Why the last OpenComConfig of the port failed, in words ("COM3:
// /dev/ttyUSB0: No such file or directory"); empty after it succeeded.
std::string comOpenError(int port);
int SetXMode(int port, int mode);
int SetCTSMode(int port, int mode);
int SetComTime(int port, double seconds);
int FlushInQ(int port);
int FlushOutQ(int port);
int ComWrt(int port, const void* buffer, int count);
// Waits until count bytes arrived or the port's time-out passed; returns the count read.
int ComRd(int port, void* buffer, int count);
// As ComRd, but gives up at an absolute deadline instead of the port's time-out.
int ComRdUntil(int port, void* buffer, int count, std::chrono::steady_clock::time_point deadline);
// The port's time-out as set by SetComTime (1.0 s until then).
std::chrono::steady_clock::duration comTimeout(int port);
int GetComStat(int port);
// Opens the number's device afresh, for every number that shares it: a new
// connection to a gateway whose stream lost its framing. 0, or kComNotOpen
// when the number is not open, or kComCannotOpen when the device does not
// open again (the number is then let go, as a device that went away is).
int ComReopen(int port);
// Lets go of the number; the device closes once no number holds it, or at
// once when it went away.
int CloseCom(int port);
bool comIsOpen(int port);
// The open port's device hung up or failed since it was opened.
bool comLost(int port);
// How the open port's line frames its requests: Modbus TCP for a tcp://
// endpoint, RTU frames for a device or an rtu+tcp:// endpoint.
LineFraming comFraming(int port);
// A number for the device or connection the port has open, new with each
// open (shared by the numbers that share it); 0 when the port is not open.
uint64_t comConnection(int port);
// The next number of the sequence the port's requests are numbered by
// (Modbus TCP's transaction ids): 1 for the first request after the device
// was opened, shared by the numbers that share it and kept over a new
// connection to it. 0 when the port is not open.
uint16_t comNextTransaction(int port);
// Pauses on the line clock (base/clock.h).
void Delay(double seconds);

// Makes the port object behind a device the first time it is opened; tests
// put a simulated line in its place. An empty maker means termios.
using SerialPortMaker = std::function<std::unique_ptr<SerialPort>(const std::string& device)>;
void setSerialPortMaker(SerialPortMaker maker);

// Where a port that will not open is told of: by default two lines on
// stderr (the system's reason, and the fix for a missing permission). A
// caller with its own way of telling the operator installs another; error
// is the system's errno.
using OpenFailureReport =
    std::function<void(int port, const std::string& device, const std::string& why, int error)>;
void setOpenFailureReport(OpenFailureReport report); // empty: the default

// Negative results of OpenComConfig.
enum ComError { kComBadPort = -2, kComCannotOpen = -6, kComNotOpen = -3 };
