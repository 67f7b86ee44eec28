#include "history/run_text.h"

#include "base/number_text.h"
#include "base/time_text.h"
#include "runs/program_file.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <utility>
#include <vector>

std::string durationText(double seconds) {
    const auto rounded = roundedCount(std::max(0.0, seconds));
    if (!rounded) return "-";
    const long long s = *rounded;
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

std::string deviationText(const std::optional<double>& degrees,
                          const std::optional<TemperatureUnit>& unit) {
    if (!degrees) return deviationText(degrees);
    return deviationText(degrees) + (unit ? unitSign(*unit) : " degrees");
}

std::string dateAndTime(double wall) {
    return localTimeText(wall, "%Y-%m-%d %H:%M:%S");
}

std::string rateText(const std::optional<double>& rate, const char* unit) {
    return rate ? formatFixed(*rate, 1) + unit + "/h" : std::string("-");
}

std::string slowingText(const RampTrend& trend) {
    if (!trend.slowerThan) return {};
    return "segment " + formatWhole(trend.segment + 1) +
           "'s ramp is getting slower: the last three runs each took longer than " +
           durationText(*trend.slowerThan) + ", the median of the runs before";
}
