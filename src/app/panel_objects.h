#pragma once
// Everything the panels' program keeps while it runs: the line and the
// controller on it, and what each panel keeps between its callbacks. The
// program makes one for its run, and a test one for each case. The panels'
// callbacks, the line's observers and the GUI's refreshes are bound to its
// members, so it is made and let go of on the GUI thread, after the panels it
// served are gone and the control thread is idle.
#include "chart/data_log.h"
#include "chart/panel/chart.h"
#include "connection/panel/alarm_notices.h"
#include "connection/panel/auto_reconnect.h"
#include "connection/panel/connection.h"
#include "connection/panel/connection_dialog.h"
#include "connection/panel/line_view.h"
#include "connection/panel/status_line.h"
#include "history/panel/runs_panel.h"
#include "lines/panel/line_panel.h"
#include "lines/panel/line_work.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/rescale.h"
#include "panelkit/control_session.h"
#include "panelkit/prompts.h"
#include "program/panel/run_view.h"
#include "runs/panel/firing_runner.h"
#include "runs/panel/programs_panel.h"
#include "service/eng_code_panel.h"
#include "traffic/panel/traffic_monitor.h"
#include "traffic/panel/traffic_panel.h"
#include "traffic/traffic_tap.h"

#include <deque>
#include <memory>

class ControlThread;

struct PanelObjects {
    // Reconnecting by itself posts its attempts to control, as the
    // operator's events are.
    explicit PanelObjects(ControlThread& control);
    PanelObjects(const PanelObjects&) = delete;
    PanelObjects& operator=(const PanelObjects&) = delete;

    // What the panel classes ask of the control thread.
    ControlSession session;
    // What tells and asks the operator, for the panel classes.
    Prompts prompts;
    Line line;
    Controller controller{line};
    DataLog log;
    // Hears every frame on the line: the traffic panel's rows and counts,
    // and --trace.
    TrafficTap tap;
    TrafficMonitor traffic{tap};
    Rescale rescale{controller, {}};
    Chart chart{controller, log, {}};
    AlarmNotices notices{controller, log};
    Connection connection{controller, notices, log};
    StatusLine statusLine{controller};
    LineView lineView{controller, statusLine};
    AutoReconnect reconnect;
    LinePanelState linePanel{connection};
    ConnectionDialog connectionDialog{connection, session};
    LinePanel linePanelWindow{linePanel, session};
    TrafficPanel trafficPanel{traffic, session, prompts};
    EngCodePanel engCode{session};
    StepProgramView stepProgram{controller, {}, {}, {}};
    // Firing runs on this line's controller, and the Programs panel once opened.
    FiringRunner programRunner;
    std::unique_ptr<ProgramsPanel> programsPanel;
    // The recorded runs (runs.sqlite in the working folder), once opened.
    std::unique_ptr<RunsPanel> runsPanel;
    // The events this session's alarm rules fired, the last of them, for
    // the Runs panel's list when it opens. GUI thread.
    std::deque<AlarmEvent> alarmEvents;
    // What the control thread hands the GUI thread is delivered through it,
    // and dropped once these objects are gone.
    QObject guiPost;
};

// Opens the Programs panel, made the first time. GUI thread.
ProgramsPanel& showProgramsPanel(PanelObjects& objects);
// Opens the Runs panel, made the first time and read afresh each time it
// is opened. GUI thread.
RunsPanel& showRunsPanel(PanelObjects& objects);
