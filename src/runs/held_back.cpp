#include "runs/held_back.h"

#include "base/number_text.h"
#include "base/time_text.h"
#include "runs/run_units.h"

#include <algorithm>

namespace {

std::string text(double seconds, const ZoneState& z, const std::optional<double>& pv,
                 const std::optional<double>& planned, TemperatureUnit unit) {
    std::string t = "held back " + hoursMinutes(std::max(0.0, seconds)) + " waiting for " + z.port +
                    " id " + formatWhole(z.id);
    const auto figure = [](double v) { return numberText(roundedTo(v, 1)); };
    if (pv && planned)
        t += " (" + figure(*pv) + " vs " + figure(*planned) + unitSign(unit) + ")";
    else if (!pv)
        t += " (it does not answer)";
    return t;
}

} // namespace

std::string heldBackText(const RunEngine& engine) {
    const auto h = engine.holdBack();
    if (!h) return "";
    return text(h->seconds, engine.state().zones[h->zone], h->pv, h->planned,
                engine.program().unit);
}

std::string heldBackText(const RunState& state, const std::vector<RunEvent>& events,
                         const std::vector<RunSample>& last, double now) {
    if (state.phase != RunPhase::running) return "";
    // The wait now began at the first of the starts since anything that
    // ends one; a later start names another zone in the same wait.
    double since = -1; // wall seconds; below 0 while none
    int zone = -1;     // the zone it names, where the event named one
    for (const RunEvent& e : events) {
        switch (e.kind) {
        case EventKind::holdBackStart:
            if (since < 0) since = e.time;
            zone = e.zone.value_or(-1);
            break;
        case EventKind::holdBackEnd:
        case EventKind::pause:
        case EventKind::proceed:
        case EventKind::start:
        case EventKind::resume:
        case EventKind::segment:
        case EventKind::end:
            since = -1;
            zone = -1;
            break;
        default:
            break;
        }
    }
    if (since < 0 || zone < 0 || std::size_t(zone) >= state.zones.size()) return "";
    const RunUnits units = RunUnits::of(state);
    std::optional<double> pv, planned;
    for (const RunSample& s : last)
        if (s.zone == zone) {
            pv = units.temperature(zone, s.pv);
            planned = units.temperature(zone, s.planSv);
        }
    const TemperatureUnit unit = units.shown().value_or(TemperatureUnit::celsius);
    return text((now - since) * state.timeScale, state.zones[std::size_t(zone)], pv, planned, unit);
}
