#include "serial/com_map.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex mapMutex;
std::map<int, std::string> explicitDevices;
std::string simulatedDevice;
std::map<int, std::string> savedEndpoints;
std::map<int, std::string> uartDevices;
std::map<int, std::string> adapterNumbers;
std::vector<FoundPort> lastScan;

// ttyS<k> is COM k+1; 0 for a number no COM port reaches.
int uartNumber(const FoundPort& port) {
    const std::string name = port.node.substr(port.node.rfind('/') + 1);
    if (name.size() > 7) return 0;
    const int n = std::atoi(name.c_str() + 4) + 1;
    return n <= kMaxComNumber ? n : 0;
}

bool mappedOnCommandLine(const FoundPort& port) {
    return std::any_of(explicitDevices.begin(), explicitDevices.end(), [&](const auto& e) {
        return e.second == port.byId || sameDevice(e.second, port.node);
    });
}

ComEntry entryLocked(int n) {
    if (auto it = explicitDevices.find(n); it != explicitDevices.end())
        return {n, ComSource::commandLine, it->second};
    if (!simulatedDevice.empty()) return {n, ComSource::simulator, simulatedDevice};
    if (auto it = savedEndpoints.find(n); it != savedEndpoints.end())
        return {n, ComSource::saved, it->second};
    if (auto it = uartDevices.find(n); it != uartDevices.end())
        return {n, ComSource::uart, it->second};
    if (auto it = adapterNumbers.find(n); it != adapterNumbers.end())
        return {n, ComSource::adapter, it->second};
    return {n, ComSource::fallback, "/dev/ttyS" + std::to_string(n - 1)};
}

} // namespace

std::map<int, std::string> numberAdapters(const std::vector<AdapterName>& adapters,
                                          const std::set<int>& taken,
                                          std::map<int, std::string> held, int limit) {
    std::erase_if(held, [&](const auto& e) { return taken.count(e.first) != 0; });
    std::vector<std::string> fresh;
    for (const AdapterName& a : adapters) {
        const std::string name = a.byId.empty() ? a.node : a.byId;
        int number = 0;
        if (!a.byId.empty())
            for (const auto& [n, heldName] : held)
                if (heldName == a.byId) number = n;
        // A number held under the node was given before udev made the
        // by-id link; once the link names a number of its own, the node's
        // is a duplicate.
        for (auto it = held.begin(); it != held.end();) {
            if (it->second != a.node) {
                ++it;
            } else if (number == 0) {
                number = it->first;
                ++it;
            } else {
                it = held.erase(it);
            }
        }
        if (number)
            held[number] = name;
        else
            fresh.push_back(name);
    }
    int n = 1;
    for (const std::string& name : fresh) {
        while (n <= limit && (taken.count(n) || held.count(n)))
            ++n;
        if (n > limit) break;
        held[n] = name;
    }
    return held;
}

void setComDevice(int comNumber, const std::string& device) {
    std::lock_guard lock(mapMutex);
    explicitDevices[comNumber] = device;
}

void setSimulatedDevice(const std::string& device) {
    std::lock_guard lock(mapMutex);
    simulatedDevice = device;
}

void setSavedEndpoint(int comNumber, const std::string& endpoint) {
    std::lock_guard lock(mapMutex);
    savedEndpoints[comNumber] = endpoint;
}

std::string comDevice(int comNumber) {
    std::lock_guard lock(mapMutex);
    return entryLocked(comNumber).device;
}

ComEntry comEntry(int comNumber) {
    std::lock_guard lock(mapMutex);
    return entryLocked(comNumber);
}

void setFoundPorts(const std::vector<FoundPort>& ports) {
    std::lock_guard lock(mapMutex);
    lastScan = ports;
    uartDevices.clear();
    for (const FoundPort& p : ports)
        if (p.kind == PortKind::uart && uartNumber(p)) uartDevices[uartNumber(p)] = p.node;
    std::set<int> taken;
    for (const auto* m : {&explicitDevices, &savedEndpoints})
        for (const auto& e : *m)
            taken.insert(e.first);
    for (const auto& e : uartDevices)
        taken.insert(e.first);
    std::vector<AdapterName> adapters;
    for (const FoundPort& p : ports)
        if (p.kind != PortKind::uart && !mappedOnCommandLine(p))
            adapters.push_back({p.node, p.byId});
    adapterNumbers = numberAdapters(adapters, taken, adapterNumbers);
}

std::vector<ComEntry> mappedComEntries() {
    std::lock_guard lock(mapMutex);
    std::set<int> numbers;
    for (const auto* m : {&explicitDevices, &savedEndpoints, &uartDevices, &adapterNumbers})
        for (const auto& e : *m)
            numbers.insert(e.first);
    std::vector<ComEntry> entries;
    for (int n : numbers)
        entries.push_back(entryLocked(n));
    return entries;
}

std::vector<int> selectorComNumbers() {
    std::set<int> numbers;
    for (int n = 1; n <= kAutoComNumbers; ++n)
        numbers.insert(n);
    for (const ComEntry& e : mappedComEntries())
        numbers.insert(e.number);
    return {numbers.begin(), numbers.end()};
}

std::vector<FoundPort> foundPorts() {
    std::lock_guard lock(mapMutex);
    return lastScan;
}

std::vector<FoundPort> unnumberedAdapters() {
    std::lock_guard lock(mapMutex);
    std::vector<FoundPort> left;
    for (const FoundPort& p : lastScan) {
        if (p.kind == PortKind::uart || mappedOnCommandLine(p)) continue;
        const bool numbered = std::any_of(adapterNumbers.begin(), adapterNumbers.end(),
                                          [&](const auto& e) { return e.second == p.openPath(); });
        if (!numbered) left.push_back(p);
    }
    return left;
}

void clearComMap() {
    std::lock_guard lock(mapMutex);
    explicitDevices.clear();
    simulatedDevice.clear();
    savedEndpoints.clear();
    uartDevices.clear();
    adapterNumbers.clear();
    lastScan.clear();
}
