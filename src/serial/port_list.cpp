#include "serial/port_list.h"

#include "serial/com_map.h"
#include "serial/net_endpoint.h"

#include <unistd.h>

namespace {

constexpr const char* kSeparator = " \xC2\xB7 "; // a middle dot

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : kSeparator) + part;
    return text;
}

std::vector<std::string> deviceParts(const FoundPort& port) {
    std::vector<std::string> parts{port.node};
    for (std::string& part : portDescription(port))
        parts.push_back(std::move(part));
    return parts;
}

std::string labelOf(const ComEntry& entry, const std::vector<FoundPort>& found) {
    std::vector<std::string> parts;
    if (isNetworkDevice(entry.device)) {
        // Whether a gateway is there shows when it is connected to, not before.
        parts = {entry.device, endpointKind(entry.device)};
        if (entry.source == ComSource::saved) parts.push_back("last connection");
        return "COM" + std::to_string(entry.number) + " (" + joined(parts) + ")";
    }
    for (const FoundPort& port : found)
        if (entry.device == port.byId || sameDevice(entry.device, port.node)) {
            parts = deviceParts(port);
            break;
        }
    if (parts.empty()) {
        parts.push_back(entry.device);
        if (entry.source == ComSource::simulator) parts.push_back("simulated controller");
        // A mapping the operator or an earlier scan made, waiting for its
        // device; or a number no device answers for (the scan found no chip
        // behind its ttyS node, if there is a node at all).
        const bool named =
            entry.source == ComSource::commandLine || entry.source == ComSource::adapter;
        if (entry.source == ComSource::fallback ||
            (named && access(entry.device.c_str(), F_OK) != 0))
            parts.push_back("not present");
    }
    return "COM" + std::to_string(entry.number) + " (" + joined(parts) + ")";
}

} // namespace

std::string comLabel(int comNumber) {
    return labelOf(comEntry(comNumber), foundPorts());
}

std::vector<std::string> portListing() {
    const std::vector<FoundPort> found = foundPorts();
    std::vector<std::string> lines;
    for (const ComEntry& entry : mappedComEntries())
        lines.push_back(labelOf(entry, found));
    for (const FoundPort& port : unnumberedAdapters())
        lines.push_back("no free COM number (" + joined(deviceParts(port)) +
                        "): map it with --com N=" + port.openPath());
    return lines;
}

std::vector<std::string> scanAndListPorts(const DiscoveryRoots& roots) {
    setFoundPorts(discoverPorts(roots));
    return portListing();
}
