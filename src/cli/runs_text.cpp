#include "cli/runs_text.h"

#include "base/number_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

std::string durationText(double seconds) {
    const long long s = std::llround(std::max(0.0, seconds));
    const std::string mm = formatWhole(100 + s / 60 % 60).substr(1);
    const std::string ss = formatWhole(100 + s % 60).substr(1);
    return formatWhole(s / 3600) + ":" + mm + ":" + ss;
}

std::string zonesText(const RunState& state) {
    // Ports in the order their first zone has them, each with its ids.
    std::vector<std::pair<std::string, std::string>> ports;
    for (const ZoneState& z : state.zones) {
        auto it = std::find_if(ports.begin(), ports.end(),
                               [&](const auto& p) { return p.first == z.port; });
        if (it == ports.end()) {
            ports.emplace_back(z.port, formatWhole(z.id));
        } else {
            it->second += "," + formatWhole(z.id);
        }
    }
    std::string out;
    for (const auto& [port, ids] : ports)
        out += (out.empty() ? "" : "; ") + port + " id " + ids;
    return out.empty() ? "no zones" : out;
}

std::string outcomeText(const RunState& state) {
    if (state.outcome) return outcomeName(*state.outcome);
    return phaseName(state.phase);
}

std::string deviationText(const std::optional<double>& degrees) {
    return degrees ? formatFixed(*degrees, 1) : std::string("-");
}

void printColumns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width;
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (width.size() <= i) width.resize(i + 1, 0);
            width[i] = std::max(width[i], row[i].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) line += std::string(width[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    }
}
