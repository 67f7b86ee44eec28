#pragma once
// The alarm rules over a firing run that `q7 run` drives: after each poll
// of the run, each zone is one observation, with the plan's set value and
// rate from the run (so deviation is from the plan and rate is against
// the plan's), and the run's start, segments and end. hold pauses the run;
// each event goes into the run's record and is printed as the run's events are.
#include "alarms/alarm_engine.h"
#include "cli/alarm_host.h"
#include "runs/run_record.h"

#include <memory>
#include <vector>

class RunEngine;
class RunLines;
class RunRecorder;
class RunStore;

class RunAlarms final : public RunListener {
  public:
    RunAlarms(AlarmRules rules, RunEngine& engine, RunLines& lines, RunStore& store,
              const RunRecorder& recorder);
    // Keeps the samples of the run's last poll.
    void runUpdated(const RunUpdate& update) override;
    // Hands each zone's last poll to the rules: after each tick of the run,
    // and once more as it ends.
    void poll();

  private:
    RunEngine& engine_;
    RunLines& lines_;
    RunStore& store_;
    const RunRecorder& recorder_;
    HostAlarmActions actions_;
    std::unique_ptr<AlarmEngine> alarms_;
    std::vector<RunSample> samples_; // the last poll's, one per zone that gave one
    bool readStatus_ = false;
};
