#include "history/run_energy.h"

#include "runs/program_file.h"

#include <algorithm>
#include <variant>

RunEnergy runEnergy(const RunState& state, const std::vector<RunSample>& samples) {
    RunEnergy e;
    if (state.kind != RunKind::program) {
        e.none = "a run of the controller's own step program names no element power";
        return e;
    }
    const auto parsed = parseFiringProgram(state.programText);
    const auto* program = std::get_if<FiringProgram>(&parsed);
    if (!program) {
        e.none = "its program no longer reads, so it names no element power";
        return e;
    }
    e.power = program->power;
    e.price = program->price;
    if (!e.power) {
        e.none = "the program names no element power (power = KW in its [program])";
        return e;
    }
    const double scale = state.timeScale > 0 ? state.timeScale : 1.0;
    // Each sample's output holds until the zone's next sample.
    struct Last {
        double time = 0;
        std::optional<double> output;
        bool seen = false;
    };
    std::vector<Last> last;
    double known = 0, all = 0, percentSeconds = 0;
    for (const RunSample& s : samples) {
        if (s.zone < 0) continue;
        if (std::size_t(s.zone) >= last.size()) last.resize(std::size_t(s.zone) + 1);
        Last& l = last[std::size_t(s.zone)];
        if (l.seen && s.time > l.time) {
            const double seconds = (s.time - l.time) * scale;
            all += seconds;
            if (l.output) {
                known += seconds;
                percentSeconds += std::clamp(*l.output, 0.0, 100.0) * seconds;
            }
        }
        l = Last{s.time, s.output, true};
    }
    if (known == 0) {
        e.none = "no output level was recorded: the controllers tell it only in Manual, and "
                 "this run's zones were in Auto";
        return e;
    }
    e.covered = known / all;
    e.kWh = percentSeconds / 100.0 / 3600.0 * *e.power;
    if (e.price)
        e.cost = *e.kWh * *e.price;
    else
        e.none = "the program names no price per kWh (price = PER_KWH in its [program])";
    return e;
}
