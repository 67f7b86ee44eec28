#pragma once
// The energy a run took and what it cost, from the output level its zones
// reported, the power of each zone's elements and the price of a kWh (the
// program's `power` and `price`). A controller tells its output level only
// in Manual, so a run in Auto records none: the figure then says why there
// is none rather than guess. Hours are plan hours, as every figure counts.
#include "runs/run_record.h"

#include <optional>
#include <string>
#include <vector>

struct RunEnergy {
    std::optional<double> kWh;
    std::optional<double> cost; // in the price's money
    std::optional<double> power, price;
    // The share of the zones' time the output was known for, 0 to 1; less
    // than 1 means the energy is of that part of the run alone.
    double covered = 0;
    // Why there is no energy (or no cost); empty when there is.
    std::string none;
};

RunEnergy runEnergy(const RunState& state, const std::vector<RunSample>& samples);

// The same, counted a sample at a time as the store reads them
// (RunStore::eachSample), in the store's order.
class RunEnergyMeter {
  public:
    explicit RunEnergyMeter(const RunState& state);
    void add(const RunSample& sample);
    RunEnergy result() const;

  private:
    // Each sample's output holds until the zone's next sample.
    struct Last {
        double time = 0;
        std::optional<double> output;
        bool seen = false;
    };
    RunEnergy e_;
    bool counting_ = false;
    double scale_ = 1;
    std::vector<Last> last_;
    double known_ = 0, all_ = 0, percentSeconds_ = 0;
};
