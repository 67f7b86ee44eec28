#include "app/panel_objects.h"

PanelObjects::PanelObjects(ControlThread& control)
    : reconnect(connection, control), programRunner(controller, control) {
    tap.install(controller);
}

ProgramsPanel& showProgramsPanel(PanelObjects& objects) {
    if (!objects.programsPanel)
        objects.programsPanel = std::make_unique<ProgramsPanel>(objects.programRunner);
    ProgramsPanel& panel = *objects.programsPanel;
    panel.show();
    panel.raise();
    return panel;
}
