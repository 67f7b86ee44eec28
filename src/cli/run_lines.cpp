#include "cli/run_lines.h"

#include "base/number_text.h"
#include "link/controller.h"
#include "runs/controller_zone.h"
#include "serial/com_map.h"
#include "serial/port_discovery.h"

RunLines::RunLines(const HeadlessOptions& options, double timeScale)
    : options_(options), timeScale_(timeScale) {
    // The command's own line: --port, or DftCom.prm's, or COM1.
    // Only the port is wanted of it: a baud rate given keeps it from
    // telling again what DftCom.prm holds, and it opens nothing.
    HeadlessOptions own = options;
    own.baud = 19200;
    own.traceFile.clear();
    const ControllerLine line(own);
    commandPort_ = line.port();
    defaultId_ = line.ids().front();
}

RunLines::~RunLines() = default;

std::string RunLines::device(int port) const {
    if (options_.simulate) return kSimulatorDevice;
    // Adapters take their COM numbers as the line's opening gives them.
    setFoundPorts(discoverPorts(discoveryRoots()));
    return runDevice(portName(port));
}

std::string RunLines::storedZones(const StoredRun& run, std::vector<NamedZone>* zones) const {
    const std::string here = device(commandPort_);
    for (const ZoneState& z : run.state.zones) {
        const std::string recorded = zoneDevice(z);
        auto n = portNumbered(z.port);
        if (!n && sameRunDevice(recorded, here)) n = commandPort_;
        if (!n)
            return "run " + formatWhole(run.id) + " names the port " + z.port +
                   ", which is no COM port";
        // Its number may name another kiln here: the run goes only where it ran.
        if (const std::string now = device(*n); !sameRunDevice(recorded, now))
            return "run " + formatWhole(run.id) + " is on " + z.port + " as " + recorded +
                   ", and " + z.port + " is " + now + " here: name its device with --com " +
                   formatWhole(*n) + "=" + recorded;
        zones->push_back({*n, z.id, z.offset});
    }
    return "";
}

ControllerLine& RunLines::line(int port, const std::vector<int>& ids) {
    auto& l = lines_[port];
    if (!l) {
        HeadlessOptions o = options_;
        o.port = port;
        // A simulator started for the command answers each of the line's zones.
        o.ids = ids;
        l = std::make_unique<ControllerLine>(o);
        l->simulateAt(timeScale_);
    }
    return *l;
}

int RunLines::open(const std::vector<NamedZone>& zones) {
    zones_ = zones;
    std::map<int, std::vector<int>> idsOn;
    for (const NamedZone& z : zones) {
        auto& ids = idsOn[z.port];
        if (z.id != 0) ids.push_back(z.id);
    }
    for (const auto& [port, ids] : idsOn)
        line(port, ids);
    // The line's own controller is DftCom.prm's (or 1); connect() refuses
    // an id there that is no id rather than guess one.
    for (NamedZone& z : zones_)
        if (z.id == 0) z.id = lines_[z.port]->ids().front();
    for (const auto& [port, l] : lines_)
        if (const int s = l->open()) return s;
    // Each id on a line has its own controller object there, probed as the
    // line connects to it, with its own health and scale.
    for (const NamedZone& z : zones_) {
        ControllerLine& l = *lines_[z.port];
        l.useId(z.id);
        if (const int s = l.connect()) return s;
        controllers_.push_back(&l.controller());
    }
    return 0;
}

std::vector<EngineZone> RunLines::engineZones() {
    std::vector<EngineZone> out;
    for (std::size_t i = 0; i < zones_.size() && i < controllers_.size(); ++i)
        out.push_back({std::make_unique<ControllerZone>(*controllers_[i]), portName(zones_[i].port),
                       zones_[i].id, zones_[i].offset});
    return out;
}

std::string RunLines::text() const {
    std::string out;
    for (const NamedZone& z : zones_) {
        const auto it = lines_.find(z.port);
        if (it == lines_.end()) continue;
        const std::string t = it->second->portText();
        if (out.find(t) != std::string::npos) continue;
        out += (out.empty() ? "" : ", ") + t;
    }
    return out;
}
