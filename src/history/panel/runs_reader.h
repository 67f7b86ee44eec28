#pragma once
// Reads the run store for the Runs panel on a thread of its own: a long
// run holds hundreds of thousands of samples, and the list's figures come
// from every run's samples, so none of it is read on the GUI thread. Its
// slots run on that thread (the panel calls them through queued signals)
// and each answer comes back as a queued signal.
#include "history/ramp_trend.h"
#include "history/run_chart_data.h"
#include "history/run_figures.h"
#include "history/run_history.h"
#include "runs/run_store.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// The runs of the store, newest first, with their figures; or why the store
// cannot be read (a store a newer program wrote, a damaged one).
struct RunList {
    std::vector<RunFigures> runs;
    std::vector<RunEvent> alarmEvents; // the last of every run, newest first
    QString problem;
};

// One run as it is opened: its figures, energy and chart's data, as its
// report has them, and its events.
struct OpenedRun {
    RunFigures figures;
    std::vector<RunEvent> events;
    RunChartData chart;
    RunEnergy energy;
};

struct ProgramTrend {
    QString program;
    std::vector<RampTrend> ramps;
    int runs = 0; // the program's runs the trend was made from
};

Q_DECLARE_METATYPE(RunList)
Q_DECLARE_METATYPE(OpenedRun)
Q_DECLARE_METATYPE(ProgramTrend)
Q_DECLARE_METATYPE(RunReport)

class RunsReader : public QObject {
    Q_OBJECT

  public:
    // The store at path; it is opened to read on the reader's thread when
    // first asked, and never made: a folder with no store has no runs.
    explicit RunsReader(const QString& path, QObject* parent = nullptr);
    ~RunsReader() override;

  public slots:
    void list();
    // Answered by opened or, with overlay, by overlaid; a run no longer
    // in the store is told by failed.
    void open(long long id, bool overlay);
    void trend(const QString& program);
    // The run's samples as CSV, the format `q7 runs export` writes.
    void exportCsv(long long id, const QString& path);
    // What the run's report shows, for the GUI thread to draw into path (its
    // chart is a graphics widget, which lives there).
    void readReport(long long id, const QString& path);

  signals:
    void listed(const RunList& runs);
    void opened(const OpenedRun& run);
    void overlaid(const OpenedRun& run);
    void trended(const ProgramTrend& trend);
    void exported(const QString& path);
    void reportRead(const RunReport& report, const QString& path);
    void failed(const QString& why);

  private:
    // The open store; null, with why, when there is none or it is refused.
    RunStore* store(QString* why);
    static RunList listOf(RunStore& store);

    QString path_;
    std::unique_ptr<RunStore> store_;
};
