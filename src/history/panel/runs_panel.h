#pragma once
// The Runs panel: the runs in the store, newest first, with the figures
// `q7 runs` prints, filtered by program and by outcome; an opened run's
// chart, its figures per segment and its events; up to five earlier runs
// of its program drawn over it, aligned at their start; the trend of its
// program's ramps, firing after firing; its report and CSV export; and the
// last events of the alarm rules, of this session and of every stored run.
//
// Everything is read from the store by a RunsReader on a thread of its own,
// asked through signals and answered through slots, so a long run never
// stalls the GUI.
#include "history/panel/runs_reader.h"

#include <QString>
#include <QThread>
#include <QWidget>

#include <memory>
#include <set>
#include <vector>

namespace Ui {
class RunsPanel;
}
class AlarmEventsList;
class RunChart;
struct AlarmEvent;

class RunsPanel : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMaxOverlays = 5;

    // The store at storePath (runs.sqlite in the working folder).
    explicit RunsPanel(const QString& storePath, QWidget* parent = nullptr);
    ~RunsPanel() override;

    // The run open now, 0 while none is.
    long long shownRun() const { return shown_ ? shown_->figures.id : 0; }
    // The earlier runs drawn over it, in the order they were added.
    const std::vector<long long>& overlays() const { return overlays_; }
    // The open run's chart, its overlays among it.
    const RunChart& chart() const;
    // The runs listed now (the filters applied), newest first.
    std::vector<long long> listedRuns() const;
    // The alarm rules' events, in their own tab.
    const AlarmEventsList& alarmEvents() const { return *alarmEvents_; }

  public slots:
    void refresh();
    // An event this session's alarm rules fired.
    void addAlarmEvent(const AlarmEvent& event);
    void openRun(long long id);
    // Draws an earlier run of the open run's program over it; false, saying
    // why, when it is not one or five are drawn already.
    bool overlayRun(long long id);
    // The n runs of the open run's program just before it.
    void overlayLast(int n);
    void clearOverlays();
    void exportTo(const QString& path);
    // The open run's PDF report, the one `q7 runs report` writes.
    void reportTo(const QString& path);

  signals:
    void listRequested();
    void runRequested(long long id, bool overlay);
    void trendRequested(const QString& program);
    void exportRequested(long long id, const QString& path);
    void reportRequested(long long id, const QString& path);
    // A run was opened and drawn, or an overlay added to it.
    void runShown(long long id);

  private slots:
    void showList(const RunList& list);
    void showRun(const OpenedRun& run);
    void addOverlay(const OpenedRun& run);
    void showTrend(const ProgramTrend& trend);
    void writeReport(const RunReport& report, const QString& path);
    void tell(const QString& text, bool problem = false);

  private:
    void applyFilters();
    void fillFilters();
    void openSelected();
    void overlaySelected();
    void chooseExport();
    void chooseReport();
    void showSegments(const RunFigures& f);
    void showEvents(const std::vector<RunEvent>& events);
    const RunFigures* listed(long long id) const;

    std::unique_ptr<Ui::RunsPanel> ui_;
    AlarmEventsList* alarmEvents_; // a tab of the details, owned by it
    QThread thread_;
    RunsReader* reader_;               // lives on thread_
    std::vector<RunFigures> runs_;     // as last listed, newest first
    std::unique_ptr<OpenedRun> shown_; // its chart's data is the chart's alone
    std::vector<long long> overlays_;  // drawn over it, as they came
    std::set<long long> pending_;      // overlays asked for, not come yet
    long long requested_ = 0;          // the run asked to open, not come yet
    QString trendProgram_;             // the program whose trend is shown or asked for
};
