#include "lines/panel/line_callbacks.h"

#include "base/number_text.h"
#include "connection/panel/connection.h"
#include "lines/line_list_file.h"
#include "lines/panel/ids/line_panel.h"
#include "lines/panel/line_table.h"
#include "lines/panel/scan_view.h"
#include "lines/poll_schedule.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_controllers.h"
#include "link/line_scan.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "monitor/controller_poll.h"
#include "panelkit/callback_registry.h"
#include "serial/serial_service.h"

#include <algorithm>
#include <atomic>
#include <memory>

namespace {

// Every id a controller may have.
constexpr int kHighestScanId = 247;

LineRow rowOf(uint16_t id) {
    LineRow row;
    row.id = id;
    return row;
}

std::vector<uint16_t> listedIds(const LinePanelState& s) {
    std::vector<uint16_t> ids;
    for (const LineRow& row : s.rows)
        ids.push_back(row.id);
    return ids;
}

void noteRound(LinePanelState& s) {
    s.roundDone =
        std::all_of(s.rows.begin(), s.rows.end(), [](const LineRow& r) { return r.polled; });
}

void showNote(const std::string& text) {
    SetCtrlVal(LinePanel::handle, LinePanel::lineNote, text);
}

void showRows(const LinePanelState& s) {
    const Clock::TimePoint now = lineClock().now();
    std::vector<RowText> texts;
    for (const LineRow& row : s.rows)
        texts.push_back(rowText(row, now));
    showLineRows(LinePanel::handle, texts);
}

void showCycle(const LinePanelState& s) {
    const auto cycle = s.schedule.cycleSeconds();
    std::string text;
    if (cycle) {
        text = "cycle " + formatFixed(*cycle, 1) + " s";
        if (s.schedule.stretched())
            text += ": no room on the line for " + formatFixed(s.schedule.interval(), 1) + " s";
    }
    SetCtrlVal(LinePanel::handle, LinePanel::cycleDisplay, text);
}

void restartSchedule(LinePanelState& s) {
    s.schedule.setIds(listedIds(s));
    noteRound(s);
    showCycle(s);
}

// The kept list of the main panel's port, in place of whatever was shown.
void loadPort(LinePanelState& s, int port) {
    s.port = port;
    s.rows.clear();
    s.controllers = std::make_unique<LineControllers>(s.connection.controller.line());
    const LineListsRead kept = loadLineLists();
    s.fileProblem = kept.problem;
    if (const auto it = kept.lists.find(port); it != kept.lists.end())
        for (uint16_t id : it->second)
            s.rows.push_back(rowOf(id));
    SetCtrlVal(LinePanel::handle, LinePanel::portDisplay,
               "Controllers on COM" + formatWhole(port) + "'s line");
    showNote(!kept.problem.empty() ? kept.problem + ": no controllers listed"
             : s.rows.empty()      ? "No controllers listed for this port: add their ids."
                                   : "");
    restartSchedule(s);
    showRows(s);
}

// False when id is listed already.
bool addRow(LinePanelState& s, uint16_t id) {
    if (std::any_of(s.rows.begin(), s.rows.end(), [&](const LineRow& r) { return r.id == id; }))
        return false;
    s.rows.push_back(rowOf(id));
    return true;
}

std::string scanSummary(const ScanResult& result, int added) {
    std::string text = result.cancelled ? "Scan cancelled: " : "Scan: ";
    if (result.found.empty()) {
        text += "no controller answered";
    } else {
        text += formatWhole(long(result.found.size())) + " answered (";
        for (const ScanFound& f : result.found)
            text += (&f == &result.found.front() ? "" : ", ") + formatWhole(f.id) + " " + f.model;
        text += "), " + formatWhole(added) + " added to the list";
    }
    if (result.lineLost) text += "; the line was lost";
    return text + ".";
}

void saveList(const LinePanelState& s) {
    std::string why;
    if (!saveLineList(s.port, listedIds(s), &why))
        showNote("The list is not kept: " + why);
    else
        showNote("");
}

// The line's port, once the main panel has one.
bool followMainPort(LinePanelState& s) {
    const int port = s.connection.controller.line().comPort();
    if (port < 1) return false;
    if (port != s.port) loadPort(s, port);
    return true;
}

void pollNext(LinePanelState& s) {
    const Clock::TimePoint start = lineClock().now();
    const std::optional<uint16_t> id = s.schedule.due(start);
    if (!id) return;
    auto row =
        std::find_if(s.rows.begin(), s.rows.end(), [&](const LineRow& r) { return r.id == *id; });
    if (row == s.rows.end()) return;
    row->reading = pollController(s.controllers->at(*id));
    row->polled = true;
    const Clock::TimePoint end = lineClock().now();
    if (row->reading.answered) row->lastReply = end;
    s.schedule.polled(start, end);
    noteRound(s);
    showCycle(s);
}

} // namespace

void registerLineCallbacks(LinePanelState& state) {
    registerCallback("OpenLinePanel", boundTo<OpenLinePanel>(state));
    registerCallback("CloseLinePanel", CloseLinePanel);
    registerCallback("LinePoll", boundTo<LinePoll>(state));
    registerCallback("LineShow", boundTo<LineShow>(state));
    registerCallback("LineAdd", boundTo<LineAdd>(state));
    registerCallback("LineRemove", boundTo<LineRemove>(state));
    registerCallback("LineInterval", boundTo<LineInterval>(state));
    registerCallback("LineScan", boundTo<LineScan>(state));
}

void setUpLinePanel(LinePanelState& state, int panel) {
    LinePanel::handle = panel;
    wireLineTable(panel);
    wireScanCancel(panel, state.scanCancelled);
}

int OpenLinePanel(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const int panel = LinePanel::handle;
    DisplayPanel(panel);
    double interval = s.schedule.interval();
    GetCtrlVal(panel, LinePanel::intervalEntry, &interval);
    s.schedule.setInterval(interval);
    // The list is read afresh: the file may have been edited meanwhile.
    s.port = 0;
    if (!followMainPort(s)) showNote("Select the port on the main panel first.");
    SetCtrlAttribute(panel, LinePanel::linePollTimer, ATTR_ENABLED, 1);
    return 0;
}

int CloseLinePanel(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A closed panel asks nothing of the line.
    SetCtrlAttribute(LinePanel::handle, LinePanel::linePollTimer, ATTR_ENABLED, 0);
    HidePanel(LinePanel::handle);
    return 0;
}

int LinePoll(LinePanelState& s, int panel, CtrlId control, int event) {
    if (event != EVENT_TIMER_TICK || !TimerRunning(panel, control)) return 0;
    if (!followMainPort(s)) return 0;
    // Before the port is open, or once it is lost, there is nobody to ask.
    // A failed probe of the main panel's id leaves it open: the others may
    // well answer.
    if (s.connection.controller.line().portUsable()) pollNext(s);
    showRows(s);
    return 0;
}

int LineShow(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const std::optional<uint16_t> id = selectedLineId(LinePanel::handle);
    if (!id) {
        showNote("Select a controller first.");
        return 0;
    }
    // The main panel's own connection, as if the operator had chosen the id
    // and selected the port: probed, then every parameter read from it.
    MainPanelView::showId(int(*id));
    ComportInit(s.connection);
    return 0;
}

int LineAdd(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT || !followMainPort(s)) return 0;
    int id = 0;
    GetCtrlVal(LinePanel::handle, LinePanel::idEntry, &id);
    if (!addRow(s, uint16_t(id))) {
        showNote("Id " + formatWhole(id) + " is listed already.");
        return 0;
    }
    saveList(s);
    restartSchedule(s);
    showRows(s);
    return 0;
}

int LineRemove(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const std::optional<uint16_t> id = selectedLineId(LinePanel::handle);
    if (!id) {
        showNote("Select a controller first.");
        return 0;
    }
    std::erase_if(s.rows, [&](const LineRow& r) { return r.id == *id; });
    saveList(s);
    restartSchedule(s);
    showRows(s);
    return 0;
}

int LineInterval(LinePanelState& s, int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    double seconds = s.schedule.interval();
    GetCtrlVal(panel, control, &seconds);
    s.schedule.setInterval(seconds);
    return 0;
}

int LineScan(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT || !followMainPort(s)) return 0;
    Line& line = s.connection.controller.line();
    if (!line.portUsable()) {
        showNote("The port is not open: select it on the main panel first.");
        return 0;
    }
    std::vector<uint8_t> ids;
    for (int id = 1; id <= kHighestScanId; ++id)
        ids.push_back(uint8_t(id));
    const int panel = LinePanel::handle;
    s.scanCancelled = false;
    beginScanView(panel, ids.size());
    const ScanResult result =
        scanIds(line, ids, line.baudRate(), [&s, panel](const ScanStep& step) {
            showScanProgress(panel, step.done);
            return !s.scanCancelled;
        });
    endScanView(panel);
    int added = 0;
    for (const ScanFound& f : result.found)
        if (addRow(s, f.id)) ++added;
    if (added) {
        saveList(s);
        restartSchedule(s);
    }
    showRows(s);
    showNote(scanSummary(result, added));
    return 0;
}
