// The Runs panel from its form, on a real runs.sqlite filled through the
// store: its list and filters, an opened run's figures per segment, an
// earlier run drawn over it, and a store it must not read.
#include "history/chart/run_chart.h"
#include "history/panel/run_chart_view.h"
#include "history/panel/runs_panel.h"
#include "history/sample_csv.h"
#include "history/stored_runs.h"
#include "support/gui_fixture.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <fstream>
#include <iterator>

using namespace storedruns;

namespace {

class RunsPanelTest : public ::testing::Test {
  protected:
    std::string storePath() const { return dir.filePath(kRunStoreFile).toStdString(); }
    std::unique_ptr<RunsPanel> panel() {
        auto p = std::make_unique<RunsPanel>(dir.filePath(kRunStoreFile));
        p->show();
        return p;
    }
    static std::string cellText(QTableWidget* table, int row, int column) {
        const QTableWidgetItem* item = table->item(row, column);
        return item ? item->text().toStdString() : std::string();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(RunsPanelTest, ListsNewestFirstFiltersOpensARunAndDrawsAnEarlierOneOverIt) {
    long long exact, glaze, held, stopped;
    {
        auto s = openStore(storePath());
        ASSERT_TRUE(s);
        exact = addRun(*s, kT0, 0);
        glaze = addRun(*s, kT0 + 86400, 0, std::nullopt, programNamed("Glaze"));
        held = addRun(*s, kT0 + 2 * 86400, 600);
        stopped = addRun(*s, kT0 + 3 * 86400, 0, 6000);
    }
    auto p = panel();
    ASSERT_TRUE(waitUntil([&] { return p->listedRuns().size() == 4; }));
    EXPECT_EQ(p->listedRuns(), (std::vector<long long>{stopped, held, glaze, exact}));
    auto* table = p->findChild<QTableWidget*>("runsTable");
    EXPECT_EQ(cellText(table, 0, 6), "stopped");
    EXPECT_EQ(cellText(table, 1, 1), "Bisque");
    EXPECT_EQ(cellText(table, 1, 2), "2"); // its batch
    EXPECT_EQ(cellText(table, 1, 5), "2:30:00");
    EXPECT_EQ(cellText(table, 1, 6), "completed");
    EXPECT_EQ(cellText(table, 1, 7), "6.0 \xC2\xB0"
                                     "C");
    EXPECT_EQ(cellText(table, 1, 8), "0:10:00");

    auto* program = p->findChild<QComboBox*>("programFilter");
    auto* outcome = p->findChild<QComboBox*>("outcomeFilter");
    program->setCurrentText("Bisque");
    EXPECT_EQ(p->listedRuns(), (std::vector<long long>{stopped, held, exact}));
    outcome->setCurrentText("stopped");
    EXPECT_EQ(p->listedRuns(), (std::vector<long long>{stopped}));
    program->setCurrentIndex(0);
    outcome->setCurrentText("completed");
    EXPECT_EQ(p->listedRuns(), (std::vector<long long>{held, glaze, exact}));

    // A click on its row opens a run: segment 2 waited 600 s, 6 degrees behind.
    table->selectRow(0);
    ASSERT_TRUE(waitUntil([&] { return p->shownRun() == held; }));
    auto* segments = p->findChild<QTableWidget*>("segmentTable");
    ASSERT_EQ(segments->rowCount(), 3);
    const std::vector<std::string> second = {"2", "1:00:00", "1:10:00", "0:10:00",
                                             "6.0 \xC2\xB0"
                                             "C"};
    for (int c = 0; c < int(second.size()); ++c)
        EXPECT_EQ(cellText(segments, 1, c), second[std::size_t(c)]) << c;
    EXPECT_EQ(cellText(segments, 2, 3), "0:00:00");
    EXPECT_EQ(p->findChild<QTableWidget*>("eventTable")->rowCount(), 6);

    // Only an earlier run of its program goes over it.
    EXPECT_FALSE(p->overlayRun(glaze));
    EXPECT_FALSE(p->overlayRun(stopped));
    const auto drawnAs = [&](const QString& name) {
        int n = 0;
        for (const QAbstractSeries* series : p->chart().series())
            n += series->name() == name;
        return n;
    };
    EXPECT_EQ(drawnAs("zone 2"), 1);
    EXPECT_TRUE(p->overlayRun(exact));
    ASSERT_TRUE(waitUntil([&] { return p->overlays().size() == 1; }));
    EXPECT_EQ(p->overlays().front(), exact);
    EXPECT_EQ(drawnAs(QString("run %1").arg(exact)), 2); // its PV, one line per zone

    // The wheel zooms about the pointer, a double click shows the whole run
    // again, and the pointer reads out what lies under it.
    auto* view = p->findChild<RunChartView*>("chartView");
    const RunChart& chart = p->chart();
    ASSERT_TRUE(waitUntil([&] { return chart.plotArea().width() > 100; }));
    const double whole = chart.windowTo() - chart.windowFrom();
    const QPoint middle =
        view->mapFromScene(view->runChart().mapToScene(chart.plotArea().center()));
    QWheelEvent wheel(middle, view->mapToGlobal(middle), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &wheel);
    EXPECT_LT(chart.windowTo() - chart.windowFrom(), whole * 0.9);
    EXPECT_GT(chart.windowFrom(), 0.0);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, middle);
    EXPECT_EQ(chart.windowTo() - chart.windowFrom(), whole);
    QTest::mouseMove(view->viewport(), middle);
    EXPECT_TRUE(view->readout().contains("zone 2 PV")) << view->readout().toStdString();

    // Export writes what `q7 runs export` writes.
    const QString csv = dir.filePath("held.csv");
    p->exportTo(csv);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(csv); }));
    auto s = openStore(storePath());
    ASSERT_TRUE(s);
    std::ifstream file(csv.toStdString(), std::ios::binary);
    const std::string written{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(written, samplesCsv(*s->load(held), *s->samples(held), *s->events(held)));

    // Report writes the PDF `q7 runs report` writes.
    const QString pdf = dir.filePath("held.pdf");
    p->reportTo(pdf);
    ASSERT_TRUE(waitUntil([&] { return QFileInfo::exists(pdf); }));
    std::ifstream report(pdf.toStdString(), std::ios::binary);
    std::string head(5, '\0');
    report.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
}

TEST_F(RunsPanelTest, AStoreOfANewerProgramIsToldAndNotRead) {
    ASSERT_TRUE(openStore(storePath()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(QString::fromStdString(storePath()));
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QString("PRAGMA user_version=%1").arg(kRunStoreVersion + 1));
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    auto p = panel();
    auto* status = p->findChild<QLabel*>("statusLabel");
    ASSERT_TRUE(waitUntil([&] { return status->text().contains("made by a newer q7"); }))
        << status->text().toStdString();
    EXPECT_TRUE(p->listedRuns().empty());
}
