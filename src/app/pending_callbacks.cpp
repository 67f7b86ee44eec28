#include "app/pending_callbacks.h"

#include "runtime/callback_registry.h"
#include "runtime/panel_service.h"

namespace {

int ignore(int, CtrlId, int) { return 0; }

int hideOwnPanel(int panel, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(panel);
    return 0;
}

int removePopup(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) RemovePopup(0);
    return 0;
}

void registerIfFree(const char* name, PanelCallback fn) {
    if (!findCallback(name)) registerCallback(name, fn);
}

} // namespace

void registerPendingCallbacks() {
    for (const char* name :
         {"ReadPV", "GetData", "ChkAlarm", "ChkAutoTUneOff", "PVRd", "SetSVParm", "CtrlEnableFn",
          "DutyCycleHelp", "SetOutputLevel", "SetSensor", "SetCF", "SetDirRev", "SetDecimalPnt",
          "SetTimeUnit", "SetEROP", "SetCycleTime", "CycleTimeHelp", "SetAlarmFunc1",
          "SetAlarmMode1", "HelpAlarm", "AlarmDelayTimeHelp", "UpdateAlarm", "HelpSWfilter",
          "HiLoOfSetHelp", "UpdateOption", "SoftStartHelp", "updateSoftStart", "WriteAllParm",
          "RdParmFromFile", "OpenChartPanel", "OpenScriptPanel", "OpenDebugPanel", "OpenPidPanel",
          "NonUserPopup"})
        registerIfFree(name, ignore);
    for (const char* name :
         {"QuitDebug", "ChartExit", "CloseYscale", "ExitScriptWin", "FileLogSetupExit", "QuitPidParm"})
        registerIfFree(name, hideOwnPanel);
    for (const char* name : {"CheckEngCode", "ClosePopup"}) registerIfFree(name, removePopup);
}
