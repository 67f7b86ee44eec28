#include "history/run_energy.h"

#include "runs/program_file.h"

#include <algorithm>
#include <variant>

RunEnergyMeter::RunEnergyMeter(const RunState& state) {
    if (state.kind != RunKind::program) {
        e_.none = "a run of the controller's own step program names no element power";
        return;
    }
    const auto parsed = parseFiringProgram(state.programText);
    const auto* program = std::get_if<FiringProgram>(&parsed);
    if (!program) {
        e_.none = "its program no longer reads, so it names no element power";
        return;
    }
    e_.power = program->power;
    e_.price = program->price;
    if (!e_.power) {
        e_.none = "the program names no element power (power = KW in its [program])";
        return;
    }
    scale_ = state.timeScale > 0 ? state.timeScale : 1.0;
    counting_ = true;
}

void RunEnergyMeter::add(const RunSample& s) {
    if (!counting_ || s.zone < 0) return;
    if (std::size_t(s.zone) >= last_.size()) last_.resize(std::size_t(s.zone) + 1);
    Last& l = last_[std::size_t(s.zone)];
    if (l.seen && s.time > l.time) {
        const double seconds = (s.time - l.time) * scale_;
        all_ += seconds;
        if (l.output) {
            known_ += seconds;
            percentSeconds_ += std::clamp(*l.output, 0.0, 100.0) * seconds;
        }
    }
    l = Last{s.time, s.output, true};
}

RunEnergy RunEnergyMeter::result() const {
    RunEnergy e = e_;
    if (!counting_) return e;
    if (known_ == 0) {
        e.none = "no output level was recorded: the controllers tell it only in Manual, and "
                 "this run's zones were in Auto";
        return e;
    }
    e.covered = known_ / all_;
    e.kWh = percentSeconds_ / 100.0 / 3600.0 * *e.power;
    if (e.price)
        e.cost = *e.kWh * *e.price;
    else
        e.none = "the program names no price per kWh (price = PER_KWH in its [program])";
    return e;
}

RunEnergy runEnergy(const RunState& state, const std::vector<RunSample>& samples) {
    RunEnergyMeter meter(state);
    for (const RunSample& s : samples)
        meter.add(s);
    return meter.result();
}
