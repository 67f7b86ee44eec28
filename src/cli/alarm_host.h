#pragma once
// The alarm rules as the headless commands (`q7 watch`, `q7 run`) carry
// them out: the rules come from --alarms FILE, else alarms.conf in the
// working folder, else the built-in ones. Each event is one printed line;
// notify prints (a desktop notice needs the panels' window system, which
// the commands never load), publish has no bridge to go to, hold pauses a
// run where there is one, log writes the data log where one is open, and
// off and sv N take the controller's checked writes.
#include "alarms/alarm_engine.h"
#include "cli/headless.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

class Controller;
class DataLog;
class RunStore;

// The rules a command applies; nothing, with the status to end with once
// the reason is told (2, naming the file's line), when the file is refused.
std::optional<AlarmRules> commandAlarmRules(const HeadlessOptions& options, int* status);

class CommandAlarmActions final : public AlarmActions {
  public:
    explicit CommandAlarmActions(std::FILE* out) : out_(out) {}

    // The controller of id on line, or nullptr when the command has none there.
    std::function<Controller*(const std::string& line, int id)> controllerFor;
    // Pauses the run, where the command drives one.
    std::function<ActionResult(const AlarmEvent&)> hold;
    // Puts the event in the run's record, where there is one: why not, else empty.
    std::function<std::string(const AlarmEvent&)> recordInRun;
    DataLog* log = nullptr; // the data log, where the command writes one

    ActionResult perform(const AlarmEvent& event, const AlarmAction& action) override;
    void record(const AlarmEvent& event) override;

  private:
    std::FILE* out_;
};
