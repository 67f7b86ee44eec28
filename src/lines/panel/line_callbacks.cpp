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

// The panel's own state: the port whose list it shows, a row per listed
// controller, and their turns. Touched on the control thread only.
struct LinePanelState {
    int port = 0; // 0: no list loaded
    std::vector<LineRow> rows;
    // The listed controllers, each with its own health: none of them is the
    // main panel's controller, whose light and last reply stay its own.
    std::unique_ptr<LineControllers> controllers;
    PollSchedule schedule;
    std::string fileProblem; // why the kept list could not be taken
};
LinePanelState gLine;
// The panel's handle: loaded once, kept across resets like every panel's.
int gLinePanel = 0;
std::atomic<bool> gRoundDone{true};

LineRow rowOf(uint16_t id) {
    LineRow row;
    row.id = id;
    return row;
}

std::vector<uint16_t> listedIds() {
    std::vector<uint16_t> ids;
    for (const LineRow& row : gLine.rows)
        ids.push_back(row.id);
    return ids;
}

void noteRound() {
    gRoundDone = std::all_of(gLine.rows.begin(), gLine.rows.end(),
                             [](const LineRow& r) { return r.polled; });
}

void showNote(const std::string& text) {
    SetCtrlVal(gLinePanel, LinePanel::lineNote, text);
}

void showRows() {
    const Clock::TimePoint now = lineClock().now();
    std::vector<RowText> texts;
    for (const LineRow& row : gLine.rows)
        texts.push_back(rowText(row, now));
    showLineRows(gLinePanel, texts);
}

void showCycle() {
    const auto cycle = gLine.schedule.cycleSeconds();
    std::string text;
    if (cycle) {
        text = "cycle " + formatFixed(*cycle, 1) + " s";
        if (gLine.schedule.stretched())
            text += ": no room on the line for " + formatFixed(gLine.schedule.interval(), 1) + " s";
    }
    SetCtrlVal(gLinePanel, LinePanel::cycleDisplay, text);
}

void restartSchedule() {
    gLine.schedule.setIds(listedIds());
    noteRound();
    showCycle();
}

// The kept list of the main panel's port, in place of whatever was shown.
void loadPort(Line& line, int port) {
    gLine.port = port;
    gLine.rows.clear();
    gLine.controllers = std::make_unique<LineControllers>(line);
    const LineListsRead kept = loadLineLists();
    gLine.fileProblem = kept.problem;
    if (const auto it = kept.lists.find(port); it != kept.lists.end())
        for (uint16_t id : it->second)
            gLine.rows.push_back(rowOf(id));
    SetCtrlVal(gLinePanel, LinePanel::portDisplay,
               "Controllers on COM" + formatWhole(port) + "'s line");
    showNote(!kept.problem.empty() ? kept.problem + ": no controllers listed"
             : gLine.rows.empty()  ? "No controllers listed for this port: add their ids."
                                   : "");
    restartSchedule();
    showRows();
}

// False when id is listed already.
bool addRow(uint16_t id) {
    if (std::any_of(gLine.rows.begin(), gLine.rows.end(),
                    [&](const LineRow& r) { return r.id == id; }))
        return false;
    gLine.rows.push_back(rowOf(id));
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

void saveList() {
    std::string why;
    if (!saveLineList(gLine.port, listedIds(), &why))
        showNote("The list is not kept: " + why);
    else
        showNote("");
}

// The line's port, once the main panel has one.
bool followMainPort(Controller& c) {
    const int port = c.line().comPort();
    if (port < 1) return false;
    if (port != gLine.port) loadPort(c.line(), port);
    return true;
}

void pollNext() {
    const Clock::TimePoint start = lineClock().now();
    const std::optional<uint16_t> id = gLine.schedule.due(start);
    if (!id) return;
    auto row = std::find_if(gLine.rows.begin(), gLine.rows.end(),
                            [&](const LineRow& r) { return r.id == *id; });
    if (row == gLine.rows.end()) return;
    row->reading = pollController(gLine.controllers->at(*id));
    row->polled = true;
    const Clock::TimePoint end = lineClock().now();
    if (row->reading.answered) row->lastReply = end;
    gLine.schedule.polled(start, end);
    noteRound();
    showCycle();
}

} // namespace

void registerLineCallbacks(Controller& c) {
    registerCallback("OpenLinePanel", boundTo<OpenLinePanel>(c));
    registerCallback("CloseLinePanel", CloseLinePanel);
    registerCallback("LinePoll", boundTo<LinePoll>(c));
    registerCallback("LineShow", boundTo<LineShow>(c));
    registerCallback("LineAdd", boundTo<LineAdd>(c));
    registerCallback("LineRemove", LineRemove);
    registerCallback("LineInterval", LineInterval);
    registerCallback("LineScan", boundTo<LineScan>(c));
}

void setUpLinePanel(int panel) {
    gLinePanel = panel;
    wireLineTable(panel);
    wireScanCancel(panel);
}

int linePanel() {
    return gLinePanel;
}

void resetLinePanel() {
    gLine = LinePanelState{};
    gRoundDone = true;
}

bool lineRoundDone() {
    return gRoundDone;
}

int OpenLinePanel(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    DisplayPanel(gLinePanel);
    double interval = gLine.schedule.interval();
    GetCtrlVal(gLinePanel, LinePanel::intervalEntry, &interval);
    gLine.schedule.setInterval(interval);
    // The list is read afresh: the file may have been edited meanwhile.
    gLine.port = 0;
    if (!followMainPort(c)) showNote("Select the port on the main panel first.");
    SetCtrlAttribute(gLinePanel, LinePanel::linePollTimer, ATTR_ENABLED, 1);
    return 0;
}

int CloseLinePanel(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A closed panel asks nothing of the line.
    SetCtrlAttribute(gLinePanel, LinePanel::linePollTimer, ATTR_ENABLED, 0);
    HidePanel(gLinePanel);
    return 0;
}

int LinePoll(Controller& c, int panel, CtrlId control, int event) {
    if (event != EVENT_TIMER_TICK || !TimerRunning(panel, control)) return 0;
    if (!followMainPort(c)) return 0;
    // Before the port is open, or once it is lost, there is nobody to ask.
    // A failed probe of the main panel's id leaves it open: the others may
    // well answer.
    const int port = c.line().comPort();
    if (comIsOpen(port) && !comLost(port)) pollNext();
    showRows();
    return 0;
}

int LineShow(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const std::optional<uint16_t> id = selectedLineId(gLinePanel);
    if (!id) {
        showNote("Select a controller first.");
        return 0;
    }
    // The main panel's own connection, as if the operator had chosen the id
    // and selected the port: probed, then every parameter read from it.
    MainPanelView::showId(int(*id));
    ComportInit(c);
    return 0;
}

int LineAdd(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT || !followMainPort(c)) return 0;
    int id = 0;
    GetCtrlVal(gLinePanel, LinePanel::idEntry, &id);
    if (!addRow(uint16_t(id))) {
        showNote("Id " + formatWhole(id) + " is listed already.");
        return 0;
    }
    saveList();
    restartSchedule();
    showRows();
    return 0;
}

int LineRemove(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const std::optional<uint16_t> id = selectedLineId(gLinePanel);
    if (!id) {
        showNote("Select a controller first.");
        return 0;
    }
    std::erase_if(gLine.rows, [&](const LineRow& r) { return r.id == *id; });
    saveList();
    restartSchedule();
    showRows();
    return 0;
}

int LineInterval(int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    double seconds = gLine.schedule.interval();
    GetCtrlVal(panel, control, &seconds);
    gLine.schedule.setInterval(seconds);
    return 0;
}

int LineScan(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT || !followMainPort(c)) return 0;
    const int port = c.line().comPort();
    if (!comIsOpen(port) || comLost(port)) {
        showNote("The port is not open: select it on the main panel first.");
        return 0;
    }
    std::vector<uint8_t> ids;
    for (int id = 1; id <= kHighestScanId; ++id)
        ids.push_back(uint8_t(id));
    beginScanView(gLinePanel, ids.size());
    const ScanResult result = scanIds(c.line(), ids, c.line().baudRate(), [](const ScanStep& step) {
        showScanProgress(gLinePanel, step.done);
        return !scanCancelRequested();
    });
    endScanView(gLinePanel);
    int added = 0;
    for (const ScanFound& f : result.found)
        if (addRow(f.id)) ++added;
    if (added) {
        saveList();
        restartSchedule();
    }
    showRows();
    showNote(scanSummary(result, added));
    return 0;
}
