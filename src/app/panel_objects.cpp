#include "app/panel_objects.h"

PanelObjects::PanelObjects(ControlThread& control) : reconnect(connection, control) {
    tap.install(controller);
}
