#include "service/eng_access.h"

#include "mainpanel/ids/main_panel.h"
#include "service/eng_code_panel.h"

#include <QMetaObject>

void unlockEngineering() {
    SetCtrlAttribute(MainPanel::handle, MainPanel::debugButton, ATTR_DIMMED, 0);
    SetCtrlAttribute(MainPanel::handle, MainPanel::pidButton, ATTR_DIMMED, 0);
}

void TurnOnEngFunc(EngCodePanel& panel) {
    QMetaObject::invokeMethod(&panel, &EngCodePanel::open, Qt::QueuedConnection);
}

int Info(EngCodePanel& panel, int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        MessagePopup("Q7 Temperature Controller",
                     "Q7 controller operator and service program, version 1.0 (2026).");
    if (event == EVENT_RIGHT_CLICK) TurnOnEngFunc(panel);
    return 0;
}

int NonUserPopup(int, CtrlId, int event) {
    if (event == EVENT_COMMIT || event == EVENT_RIGHT_CLICK)
        MessagePopup("Non-User Level Help", "Protocol & PID panel are not user level "
                                            "suported.\n\t\t\t\tThese functions cannot be open.\n");
    return 0;
}
