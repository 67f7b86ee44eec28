#pragma once
// Start-up, shutdown and extras of the panel service that the procedural
// calls in panel_service.h do not cover.
#include "panelkit/expected_control.h"
#include "panelkit/panel_service.h"

#include <functional>
#include <memory>
#include <string>

// Negative results of the panel calls.
enum PanelError {
    kPanelBadHandle = -4,
    kPanelNoControl = -5,
    kPanelBadAttribute = -6,
    kPanelBadValue = -7,
    kPanelFileNotFound = -8,
    kPanelBadFile = -9,
};

class ControlThread;
class QObject;

// Starts the control thread that runs every callback and timer tick, and
// posts every operator event to it from now on; the thread must outlive the
// service. Call on the GUI thread after the QApplication exists.
void startPanelService(ControlThread& thread);
// Stops the control thread after the event it is running; events still queued
// are dropped. Keeps the GUI loop turning meanwhile, so a callback waiting on a
// widget call can finish. Call on the GUI thread.
void stopPanelService();

// SIGINT and SIGTERM end the run with a commit of this control, as if the
// operator had pressed it, even while a popup is open (see run_ending.h).
// Call on the GUI thread once the panel is loaded.
void setSignalQuitHandler(int panel, CtrlId control);

// Calls refresh on the GUI thread every `seconds` while the GUI loop runs,
// never through the control thread: for displays that only read state, such
// as the age of the controller's last reply. It stops when the returned
// object goes. Call on the GUI thread.
std::unique_ptr<QObject> startGuiRefresh(double seconds, std::function<void()> refresh);

// Relabels the ring item that carries this code, or adds one in the order of
// the codes when none does (the port selector shows the device behind each
// COM number, and offers every number in use).
int setRingItemText(int panel, CtrlId ring, int code, const std::string& text);

// True while the panel is loaded. Any thread.
bool panelLoaded(int panel);
// True while the panel is installed as a popup (InstallPopup). Any thread.
bool popupInstalled(int panel);

// Adds more to the text of the notice open under title, or shows a notice
// of fresh + more when none is (see NoticePopup). Any thread.
void extendNotice(const std::string& title, const std::string& more, const std::string& fresh);

// Discards every panel and forgets installed popups (tests start clean).
void discardAllPanels();

// True when the control exists and holds the kind of value the logic reads
// from it (see ValueType). GUI or control thread.
bool controlHasValueType(int panel, CtrlId control, ValueType type);
