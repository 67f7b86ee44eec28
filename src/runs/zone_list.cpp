#include "runs/zone_list.h"

#include "base/id_list.h"
#include "base/number_text.h"
#include "runs/open_runs.h"

#include <set>

std::optional<std::vector<NamedZone>> parseZones(std::string_view text, int commandPort,
                                                 std::string* why) {
    std::vector<NamedZone> zones;
    std::set<std::pair<int, int>> seen;
    while (true) {
        const auto comma = text.find(',');
        std::string_view item = text.substr(0, comma);
        std::optional<int> port = commandPort;
        if (const auto colon = item.find(':'); colon != std::string_view::npos) {
            port = portNumbered(item.substr(0, colon));
            item.remove_prefix(colon + 1);
        }
        const auto id = takeWhole(item);
        std::optional<double> offset = 0.0;
        if (!item.empty())
            offset = (item[0] == '+' || item[0] == '-') ? parseReal(item) : std::nullopt;
        if (!port || !id || !controllerIdInRange(*id) || !offset) {
            *why = "--zones takes ids from 1 to 247, each with its port when it is not the "
                   "command's and an offset if any, as 1,2+10,COM2:7-5";
            return std::nullopt;
        }
        if (!seen.insert({*port, int(*id)}).second) {
            *why = "--zones names " + portName(*port) + " id " + formatWhole(*id) + " twice";
            return std::nullopt;
        }
        zones.push_back({*port, int(*id), *offset});
        if (comma == std::string_view::npos) return zones;
        text.remove_prefix(comma + 1);
    }
}
