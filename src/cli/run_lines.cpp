#include "cli/run_lines.h"

#include "base/number_text.h"
#include "link/controller.h"
#include "runs/controller_zone.h"

RunLines::RunLines(const HeadlessOptions& options, double timeScale)
    : options_(options), timeScale_(timeScale) {
    // The command's own line: --port, or DftCom.prm's, or COM1.
    // Only the port is wanted of it: a baud rate given keeps it from
    // telling again what DftCom.prm holds, and it opens nothing.
    HeadlessOptions own = options;
    own.ids = {1};
    own.baud = 19200;
    own.traceFile.clear();
    commandPort_ = ControllerLine(own).port();
}

RunLines::~RunLines() = default;

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
