#include "app/panel_objects.h"

#include "alarms/controller_actions.h"
#include "alarms/run_view.h"
#include "history/panel/alarm_events_list.h"
#include "history/run_history.h"
#include "panelkit/gui_call.h"
#include "runs/run_host.h"

namespace {

// The alarm rules' view of a firing run the panels drive: its one zone is
// the panels' controller, observed as the run's poll read it. hold pauses
// it, and each event goes into its record.
AlarmNotices::RunHooks runHooks(const FiringRunner::Polled& run) {
    AlarmNotices::RunHooks hooks;
    RunHost& host = run.host;
    hooks.ended = host.ended();
    hooks.observe = [&host](Clock::TimePoint at, bool silent) {
        return runZoneObservation(host.engine(), 0, silent, at);
    };
    hooks.hold = [&host](const AlarmEvent& e) { return holdRun(host.engine(), e); };
    hooks.record = [&host](const AlarmEvent& e) -> std::string {
        if (!host.runId()) return "the run has no record";
        return recordInRun(host.store(), *host.runId(), e, host.engine().state().segment, 0);
    };
    return hooks;
}

} // namespace

PanelObjects::PanelObjects(ControlThread& control)
    : session(control), reconnect(connection, control), programRunner(controller, control) {
    connection.dialog = &connectionDialog;
    connection.prompts = &prompts;
    linePanel.panel = &linePanelWindow;
    tap.install(controller);
    // A run this line's controller did not finish is offered to go on, and
    // shown on the Programs panel when it does.
    connection.connected = [this] {
        if (programRunner.offerResume()) onGui([this] { showProgramsPanel(*this); });
    };
    programRunner.onPolled = [this](const FiringRunner::Polled& run) {
        notices.pollRun(runHooks(run));
    };
    // An ended run's figures are kept, so no list reads its samples again.
    programRunner.onEnded = [](RunStore& store, long long id) { keepEndedFigures(store, id); };
    // Handed to the GUI thread without waiting: the poll goes on.
    notices.onEvent = [this](const AlarmEvent& event) {
        QMetaObject::invokeMethod(
            &guiPost,
            [this, event] {
                alarmEvents.push_back(event);
                if (alarmEvents.size() > std::size_t(AlarmEventsList::kMaxEvents))
                    alarmEvents.pop_front();
                if (runsPanel) runsPanel->addAlarmEvent(event);
            },
            Qt::QueuedConnection);
    };
}

ProgramsPanel& showProgramsPanel(PanelObjects& objects) {
    if (!objects.programsPanel)
        objects.programsPanel = std::make_unique<ProgramsPanel>(objects.programRunner);
    ProgramsPanel& panel = *objects.programsPanel;
    panel.show();
    panel.raise();
    return panel;
}

RunsPanel& showRunsPanel(PanelObjects& objects) {
    if (objects.runsPanel) {
        objects.runsPanel->refresh();
    } else {
        objects.runsPanel = std::make_unique<RunsPanel>(QString::fromStdString(runStorePath()));
        for (const AlarmEvent& e : objects.alarmEvents)
            objects.runsPanel->addAlarmEvent(e);
    }
    RunsPanel& panel = *objects.runsPanel;
    panel.show();
    panel.raise();
    return panel;
}
