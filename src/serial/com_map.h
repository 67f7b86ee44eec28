#pragma once
// Which device a COM number means, in this order:
//   1. --com N=DEVICE (DEVICE may be a network endpoint, net_endpoint.h);
//   2. with --simulate, the simulated controller;
//   3. the network endpoint DftCom.prm kept for the number;
//   4. a built-in UART that answers, as /dev/ttyS(n-1);
//   5. a serial adapter found on the machine, on the number it was given;
//   6. otherwise /dev/ttyS(n-1).
// Adapters take the lowest numbers up to kAutoComNumbers that neither --com,
// a kept endpoint nor a UART holds, and keep them while the program runs: unplugged and
// plugged in again, an adapter is the same COM number.
#include "serial/port_discovery.h"

#include <map>
#include <set>
#include <string>
#include <vector>

// The port selector's usual numbers; adapters are given numbers within them.
inline constexpr int kAutoComNumbers = 16;
// The highest COM number there is (--com and DftCom.prm may name any up to it).
inline constexpr int kMaxComNumber = 255;

void setComDevice(int comNumber, const std::string& device);
void setSimulatedDevice(const std::string& device); // empty: no simulator
// The endpoint the last good connection went to on that number.
void setSavedEndpoint(int comNumber, const std::string& endpoint);
std::string comDevice(int comNumber);
void clearComMap();

// Takes a fresh scan of the machine's ports: UARTs and adapters get their numbers.
void setFoundPorts(const std::vector<FoundPort>& ports);

enum class ComSource { commandLine, simulator, saved, uart, adapter, fallback };
struct ComEntry {
    int number = 0;
    ComSource source = ComSource::fallback;
    std::string device; // what opening the COM number opens
};
ComEntry comEntry(int comNumber);
// Every number --com, DftCom.prm, a UART or an adapter holds, lowest first.
std::vector<ComEntry> mappedComEntries();
// The numbers the port selector offers: the usual ones and every mapped one.
std::vector<int> selectorComNumbers();
// The last scan, and the adapters in it that no number could be found for.
std::vector<FoundPort> foundPorts();
std::vector<FoundPort> unnumberedAdapters();

// The numbering rule on its own. An adapter is known by its by-id name or
// its node; held maps numbers to the names adapters had before. An adapter
// keeps a held number (a node-named one is renamed by-id once udev has made
// the link); a new one takes the lowest number up to limit that is neither
// taken nor held. Held numbers of adapters now absent stay held.
struct AdapterName {
    std::string node, byId;
};
std::map<int, std::string> numberAdapters(const std::vector<AdapterName>& adapters,
                                          const std::set<int>& taken,
                                          std::map<int, std::string> held,
                                          int limit = kAutoComNumbers);
