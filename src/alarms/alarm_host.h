#pragma once
// The alarm rules as a process carries them out, the same in the panels and
// the headless commands: which rules apply, and what each action means
// where they run. The host fills in what it has (a data log, a run to
// pause, the controllers it polls, how it tells the operator); an action
// it has nothing for says so in the event rather than pretending.
#include "alarms/alarm_engine.h"

#include <functional>
#include <string>
#include <variant>

class Controller;

// The rules of a process: the file named (--alarms), else alarms.conf in
// the working folder, else the built-in ones; or why the file is refused
// ("alarms.conf line 3: ...").
std::variant<AlarmRules, std::string> chooseAlarmRules(const std::string& named);

// What the operator reads of an event, in a notice and in the data log.
// The controller's alarm outputs and its silence keep the words their
// notices always had ("alarm 1 output on, controller 1 on COM3"); any
// other rule is named with the values it fired on.
struct AlarmWords {
    std::string title; // "Alarm", "Controller Not Answering", "Alarm Rule"
    std::string text;  // without the time
    std::string when;  // "at" or "since", before the time in a notice
};
AlarmWords alarmWords(const AlarmRules& rules, const AlarmEvent& event);

class HostAlarmActions final : public AlarmActions {
  public:
    // The rules the words come from (the engine's); they outlive their use here.
    void useRules(const AlarmRules& rules) { rules_ = &rules; }

    // Tells the operator; where it is missing, the event's own line tells.
    std::function<ActionResult(const AlarmEvent&, const AlarmWords&)> notify;
    // The controller of id on line, or nullptr when the host has none there.
    std::function<Controller*(const std::string& line, int id)> controllerFor;
    // Why the host may not make the write an action asks for (off, sv N),
    // else empty; missing where every write is the operator's own.
    std::function<std::string(const AlarmEvent&, const AlarmAction&)> writeRefused;
    // Sends the event to the broker, where a bridge runs.
    std::function<ActionResult(const AlarmEvent&)> publish;
    // Pauses the run, where the host drives one.
    std::function<ActionResult(const AlarmEvent&)> hold;
    // Puts the event in the run's record, where there is one: why not, else empty.
    std::function<std::string(const AlarmEvent&)> recordInRun;
    // Writes a line to the data log: false with why. Missing, or returning
    // nothing, while no data log is open.
    std::function<std::optional<bool>(const std::string& line, std::string* why)> writeLog;
    // Every event, with its text as recorded.
    std::function<void(const AlarmEvent&, const std::string& text)> told;

    ActionResult perform(const AlarmEvent& event, const AlarmAction& action) override;
    void record(const AlarmEvent& event) override;

  private:
    AlarmWords words(const AlarmEvent& event) const;

    const AlarmRules* rules_ = nullptr;
};
