#pragma once
// What `q7 run` tells the person watching it as it goes: each event as it
// happens; a line with each zone's PV and SV and the plan's SV at least
// every few minutes (every poll with --verbose); and, at the start and
// after every change, when the firing will finish on the clock.
#include "runs/run_record.h"

#include <optional>
#include <string>

class RunEngine;

class RunProgress final : public RunListener {
  public:
    // Seconds on the wall between progress lines, without --verbose.
    static constexpr double kEverySeconds = 300;

    RunProgress(const RunEngine& engine, bool verbose);
    void runUpdated(const RunUpdate& u) override;

  private:
    void tellFinish(double now);
    void tellZones(const RunUpdate& u);

    const RunEngine& engine_;
    bool verbose_;
    std::optional<double> lastLine_;
    std::string finishTold_;
};
