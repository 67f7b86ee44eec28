#include "alarms/controller_actions.h"

#include "link/controller.h"
#include "monitor/checked_writes.h"
#include "params/mode_write.h"
#include "runs/program_file.h"
#include "runs/run_store.h"

ActionResult switchOff(Controller& c) {
    const Outcome o = writeModeGuarded(c, ControlMode::off);
    if (o.ok()) return {true, "done"};
    return {false, modeWriteFailure(o, ControlMode::off)};
}

ActionResult setSafeSv(Controller& c, double value) {
    const CheckedWrite w = setSetValue(c, value);
    if (w.limitsUnread)
        return {false, "not sent: the Lo and Hi limits could not be read (" +
                           describe(*w.limitsUnread) + ")"};
    if (!w.notSent.empty()) return {false, "not sent: " + numberText(value) + " " + w.notSent};
    if (!w.outcome.ok()) return {false, "not confirmed: " + describe(w.outcome)};
    return {true, "done"};
}

RunEvent runEventOf(const AlarmEvent& event, int segment, std::optional<int> zone) {
    RunEvent e;
    e.time = event.wall;
    e.zone = zone;
    e.kind = EventKind::alarm;
    e.segment = segment;
    e.text = event.text();
    return e;
}

std::string recordInRun(RunStore& store, long long id, const AlarmEvent& event, int segment,
                        std::optional<int> zone) {
    std::string why;
    if (store.addEvent(id, runEventOf(event, segment, zone), &why)) return "";
    return why.empty() ? "not recorded" : why;
}
