#include "app/panel_objects.h"

#include "history/panel/alarm_events_list.h"
#include "panelkit/gui_call.h"

PanelObjects::PanelObjects(ControlThread& control)
    : reconnect(connection, control), programRunner(controller, control) {
    tap.install(controller);
    // A run this line's controller did not finish is offered to go on, and
    // shown on the Programs panel when it does.
    connection.connected = [this] {
        if (programRunner.offerResume()) onGui([this] { showProgramsPanel(*this); });
    };
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
        objects.runsPanel = std::make_unique<RunsPanel>(kRunStoreFile);
        for (const AlarmEvent& e : objects.alarmEvents)
            objects.runsPanel->addAlarmEvent(e);
    }
    RunsPanel& panel = *objects.runsPanel;
    panel.show();
    panel.raise();
    return panel;
}
