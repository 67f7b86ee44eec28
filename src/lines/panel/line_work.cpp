#include "lines/panel/line_work.h"

#include "base/number_text.h"
#include "connection/panel/connection.h"
#include "lines/line_list_file.h"
#include "lines/panel/line_panel.h"
#include "lines/poll_schedule.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_controllers.h"
#include "link/line_scan.h"
#include "mainpanel/main_panel_view.h"
#include "monitor/controller_poll.h"
#include "panelkit/callback_registry.h"
#include "serial/serial_service.h"

#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

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

void showNote(LinePanelState& s, const std::string& text) {
    s.shown.note = text;
}

void showRows(LinePanelState& s) {
    const Clock::TimePoint now = lineClock().now();
    std::vector<RowText> texts;
    for (const LineRow& row : s.rows)
        texts.push_back(rowText(row, now));
    s.shown.rows = std::move(texts);
}

// What was shown since the last hand-over, handed over.
LineShown handOver(LinePanelState& s) {
    return std::exchange(s.shown, {});
}

void showCycle(LinePanelState& s) {
    const auto cycle = s.schedule.cycleSeconds();
    std::string text;
    if (cycle) {
        text = "cycle " + formatFixed(*cycle, 1) + " s";
        if (s.schedule.stretched())
            text += ": no room on the line for " + formatFixed(s.schedule.interval(), 1) + " s";
    }
    s.shown.cycle = text;
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
    s.shown.port = "Controllers on COM" + formatWhole(port) + "'s line";
    showNote(s, !kept.problem.empty() ? kept.problem + ": no controllers listed"
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

void saveList(LinePanelState& s) {
    std::string why;
    if (!saveLineList(s.port, listedIds(s), &why))
        showNote(s, "The list is not kept: " + why);
    else
        showNote(s, "");
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
}

int OpenLinePanel(LinePanelState& s, int, CtrlId, int event) {
    if (event != EVENT_COMMIT || !s.panel) return 0;
    QMetaObject::invokeMethod(s.panel, &LinePanel::open, Qt::QueuedConnection);
    return 0;
}

LineShown openLine(LinePanelState& s, double interval) {
    s.schedule.setInterval(interval);
    s.port = 0;
    if (!followMainPort(s)) showNote(s, "Select the port on the main panel first.");
    return handOver(s);
}

LineShown pollLine(LinePanelState& s) {
    // A tick that was waiting when the panel closed asks nothing of the line.
    if (!s.panelOpen || !followMainPort(s)) return handOver(s);
    // Before the port is open, or once it is lost, there is nobody to ask.
    // A failed probe of the main panel's id leaves it open: the others may
    // well answer.
    if (s.connection.controller.line().portUsable()) pollNext(s);
    showRows(s);
    return handOver(s);
}

void showOnMainPanel(LinePanelState& s, uint16_t id) {
    MainPanelView::showId(int(id));
    ComportInit(s.connection);
}

LineShown addToLine(LinePanelState& s, int id) {
    if (!followMainPort(s)) return handOver(s);
    if (!addRow(s, uint16_t(id))) {
        showNote(s, "Id " + formatWhole(id) + " is listed already.");
        return handOver(s);
    }
    saveList(s);
    restartSchedule(s);
    showRows(s);
    return handOver(s);
}

LineShown removeFromLine(LinePanelState& s, uint16_t id) {
    std::erase_if(s.rows, [&](const LineRow& r) { return r.id == id; });
    saveList(s);
    restartSchedule(s);
    showRows(s);
    return handOver(s);
}

void setLineInterval(LinePanelState& s, double seconds) {
    s.schedule.setInterval(seconds);
}

LineShown scanLine(LinePanelState& s, const ScanView& progress) {
    if (!followMainPort(s)) return handOver(s);
    Line& line = s.connection.controller.line();
    if (!line.portUsable()) {
        showNote(s, "The port is not open: select it on the main panel first.");
        return handOver(s);
    }
    std::vector<uint8_t> ids;
    for (int id = 1; id <= kHighestScanId; ++id)
        ids.push_back(uint8_t(id));
    s.scanCancelled = false;
    progress.begin(ids.size());
    const ScanResult result =
        scanIds(line, ids, line.baudRate(), [&s, &progress](const ScanStep& step) {
            progress.step(step.done);
            return !s.scanCancelled;
        });
    int added = 0;
    for (const ScanFound& f : result.found)
        if (addRow(s, f.id)) ++added;
    if (added) {
        saveList(s);
        restartSchedule(s);
    }
    showRows(s);
    showNote(s, scanSummary(result, added));
    return handOver(s);
}
