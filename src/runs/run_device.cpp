#include "runs/run_device.h"

#include "runs/open_runs.h"
#include "serial/com_map.h"
#include "serial/net_endpoint.h"
#include "serial/port_discovery.h"

#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Host and port, the host in lower case: what tells one gateway from another.
std::string endpointKey(const NetEndpoint& e) {
    std::string host;
    for (char c : e.host)
        host += char(std::tolower(static_cast<unsigned char>(c)));
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    return host + ":" + std::to_string(e.port);
}

std::string stableSerialName(const std::string& device) {
    std::error_code ec;
    const fs::path node = fs::canonical(device, ec);
    // Gone (an adapter pulled out): the name is all there is of it.
    if (ec) return device;
    const fs::path byId = fs::path(discoveryRoots().dev) / "serial/by-id";
    for (const auto& entry : fs::directory_iterator(byId, ec)) {
        std::error_code e;
        if (fs::canonical(entry.path(), e) == node && !e) return entry.path().string();
    }
    return node.string();
}

} // namespace

std::string runDevice(const std::string& port) {
    if (const auto n = portNumbered(port)) {
        const ComEntry entry = comEntry(*n);
        if (entry.source == ComSource::simulator) return kSimulatorDevice;
        return runDevice(entry.device);
    }
    if (port == kSimulatorDevice) return port;
    if (isNetworkDevice(port)) {
        const auto e = parseEndpoint(port);
        if (!e) return port;
        return port.substr(0, port.find("://") + 3) + endpointKey(*e);
    }
    return stableSerialName(port);
}

bool sameRunDevice(const std::string& a, const std::string& b) {
    if (a == b) return true;
    if (isNetworkDevice(a) || isNetworkDevice(b)) {
        const auto ea = parseEndpoint(a), eb = parseEndpoint(b);
        return ea && eb && endpointKey(*ea) == endpointKey(*eb);
    }
    if (a == kSimulatorDevice || b == kSimulatorDevice) return false;
    return sameDevice(a, b);
}

std::string zoneDevice(const ZoneState& zone) {
    return zone.device.empty() ? runDevice(zone.port) : zone.device;
}
