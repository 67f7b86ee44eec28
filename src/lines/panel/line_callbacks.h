#pragma once
// The Line panel: every controller listed for the main panel's port, polled
// in turn on its line, and the main panel's way to open it.
#include "lines/poll_schedule.h"
#include "lines/row_text.h"
#include "link/line_controllers.h"
#include "panelkit/panel_service.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

struct Connection;

// What the Line panel keeps between its callbacks. Touched on the control
// thread only, but for the flags, which say so.
struct LinePanelState {
    explicit LinePanelState(Connection& connection) : connection(connection) {}

    // The main panel's: its port is the line shown, and Show connects it to
    // the chosen id.
    Connection& connection;
    int port = 0; // 0: no list loaded
    std::vector<LineRow> rows;
    // The listed controllers, each with its own health: none of them is the
    // main panel's controller, whose light and last reply stay its own.
    std::unique_ptr<LineControllers> controllers;
    PollSchedule schedule;
    std::string fileProblem; // why the kept list could not be taken
    // Every listed controller has had a turn since the list was loaded (or
    // nothing is listed). Any thread: the screenshots wait for it.
    std::atomic<bool> roundDone{true};
    // Cancel was pressed during a scan; set on the GUI thread.
    std::atomic<bool> scanCancelled{false};
};

void registerLineCallbacks(LinePanelState& state);
// Once the panel is loaded: its handle, and the table's double click.
void setUpLinePanel(LinePanelState& state, int panel);

int OpenLinePanel(LinePanelState& state, int panel, CtrlId control, int event);
int CloseLinePanel(int panel, CtrlId control, int event);
int LinePoll(LinePanelState& state, int panel, CtrlId control, int event);
int LineShow(LinePanelState& state, int panel, CtrlId control, int event);
int LineAdd(LinePanelState& state, int panel, CtrlId control, int event);
int LineRemove(LinePanelState& state, int panel, CtrlId control, int event);
int LineInterval(LinePanelState& state, int panel, CtrlId control, int event);
int LineScan(LinePanelState& state, int panel, CtrlId control, int event);
