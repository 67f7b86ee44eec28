#pragma once
// The traffic panel's table and statistics, and the line-health indicator
// on the main panel. Rows reach the table in batches: the tap wakes the GUI
// once, and a pickup at most every 100 ms takes everything that came, so a
// burst of frames costs the GUI thread one model update, not one per frame.
// Each call below may be made from any thread; it runs on the GUI thread.
#include "traffic/traffic_row.h"

#include <QObject>
#include <QPointer>

class QLabel;
class QTableView;

#include <memory>
#include <vector>

class TrafficTap;

class TrafficMonitor {
  public:
    // Shows what tap, which must outlive it, hears on its line.
    explicit TrafficMonitor(TrafficTap& tap);
    // GUI thread.
    ~TrafficMonitor();
    TrafficMonitor(const TrafficMonitor&) = delete;
    TrafficMonitor& operator=(const TrafficMonitor&) = delete;

    TrafficTap& tap() { return tap_; }
    // Puts the rows on the panel's table and its counts on the two labels
    // (names, values), and starts keeping rows. GUI thread.
    void setUp(QTableView& table, QLabel& names, QLabel& values);
    // Keeps rows for the table again once the tap stopped keeping them.
    void keepRows();

    // The table stops taking rows and shows what it has; frames are still
    // counted, traced and kept (the newest kKeptRows) for when it goes on.
    void setPaused(bool paused);
    void setFailuresOnly(bool failuresOnly);
    // Empties the table, and drops the rows waiting for it.
    void clearTable();
    // The rows the table holds, oldest first, whatever the filter shows.
    std::vector<TrafficRow> tableRows();
    void refreshStatistics();

    // For tests and benchmarks: the pickup done now, and the rows on show.
    void pickUpNow();
    int rowsShown();

  private:
    template <class F> void withView(F&& f);

    TrafficTap& tap_;
    // What the tap's wake posts to the GUI thread goes with it.
    std::unique_ptr<QObject> context_;
    // The table's view, owned by the table.
    QPointer<QObject> view_;
};
