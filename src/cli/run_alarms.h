#pragma once
// The alarm rules over a firing run that `q7 run` drives: after each poll
// of the run, each zone is one observation of what the run read of it,
// with the plan's set value and rate from the run (so deviation is from
// the plan and rate is against the plan's), and the run's start, segments
// and end. hold pauses the run; each event goes into the run's record and
// is printed as the run's events are.
#include "alarms/alarm_engine.h"
#include "cli/alarm_host.h"

#include <memory>

class RunHost;
class RunLines;

class RunAlarms {
  public:
    RunAlarms(AlarmRules rules, RunHost& host, RunLines& lines);
    // Hands each zone's last poll to the rules: after each tick of the run,
    // and once more as it ends.
    void poll();
    // The secrets of the rules' ntfy, webhook and email actions.
    void useSecrets(NotifySecrets secrets) { alarms_->notifier().setSecrets(std::move(secrets)); }

  private:
    RunHost& host_;
    RunLines& lines_;
    HostAlarmActions actions_;
    std::unique_ptr<AlarmEngine> alarms_;
};
