#pragma once
// The Line panel's work on the control thread: every controller listed for
// the main panel's port, polled in turn on its line, and the main panel's
// way to open the panel. Each piece of work hands back what the panel is to
// show; the panel (line_panel.h) asks for it and shows it.
#include "lines/poll_schedule.h"
#include "lines/row_text.h"
#include "link/line_controllers.h"
#include "panelkit/panel_service.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct Connection;
class LinePanel;

// What a piece of work changed on the panel; what it left alone is absent.
struct LineShown {
    std::optional<std::string> port; // the line listed
    std::optional<std::string> note;
    std::optional<std::string> cycle;
    std::optional<std::vector<RowText>> rows;
};

// What the Line panel keeps between its pieces of work. Touched on the
// control thread only, but for the flags, which say so.
struct LinePanelState {
    explicit LinePanelState(Connection& connection) : connection(connection) {}

    // The main panel's: its port is the line shown, and Show connects it to
    // the chosen id.
    Connection& connection;
    // The panel, made on the GUI thread by the program.
    LinePanel* panel = nullptr;
    int port = 0; // 0: no list loaded
    std::vector<LineRow> rows;
    // The listed controllers, each with its own health: none of them is the
    // main panel's controller, whose light and last reply stay its own.
    std::unique_ptr<LineControllers> controllers;
    PollSchedule schedule;
    std::string fileProblem; // why the kept list could not be taken
    // What the work since the last hand-over changed.
    LineShown shown;
    // Every listed controller has had a turn since the list was loaded (or
    // nothing is listed). Any thread: the screenshots wait for it.
    std::atomic<bool> roundDone{true};
    // The panel is open, so its timer's ticks poll; set on the GUI thread.
    std::atomic<bool> panelOpen{false};
    // Cancel was pressed during a scan; set on the GUI thread.
    std::atomic<bool> scanCancelled{false};
};

// The scan's progress, told from the control thread as it goes.
struct ScanView {
    std::function<void(std::size_t total)> begin;
    std::function<void(std::size_t done)> step;
};

// Control thread, each of them.
// The list of the main panel's port, read afresh: the file may have been
// edited meanwhile.
LineShown openLine(LinePanelState& state, double interval);
// A tick of the panel's poll timer: the next controller due is read.
LineShown pollLine(LinePanelState& state);
LineShown addToLine(LinePanelState& state, int id);
LineShown removeFromLine(LinePanelState& state, uint16_t id);
void setLineInterval(LinePanelState& state, double seconds);
// Asks every id, until the scan is cancelled, and lists what answered.
LineShown scanLine(LinePanelState& state, const ScanView& progress);
// The main panel's own connection, as if the operator had chosen the id and
// selected the port: probed, then every parameter read from it.
void showOnMainPanel(LinePanelState& state, uint16_t id);

void registerLineCallbacks(LinePanelState& state);
// The main panel's button: opens the panel.
int OpenLinePanel(LinePanelState& state, int panel, CtrlId control, int event);
