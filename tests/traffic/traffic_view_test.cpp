// The traffic panel as the operator sees it: newest at the bottom, a table
// scrolled up stays where it is while rows come and go, and a picture of a
// bulk read on a line with faults shows the failed exchanges standing out.
#include "link/registers.h"
#include "mainpanel/bulk_read_view.h"
#include "monitor/link_fixture.h"
#include "traffic/panel/traffic_model.h"
#include "traffic/panel/traffic_monitor.h"
#include "traffic/panel/traffic_panel.h"
#include "traffic/traffic_tap.h"

#include <QImage>
#include <QScrollBar>
#include <QTableView>

#include <cstdlib>
#include <random>

namespace {

class TrafficView : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        objects().traffic.clearTable();
        objects().trafficPanel.open();
        table = objects().trafficPanel.findChild<QTableView*>("frameTable");
        ASSERT_NE(table, nullptr);
    }
    // count exchanges of distinct registers from first on, as the line would report them.
    void exchanges(int first, int count) {
        for (int i = 0; i < count; ++i) {
            FrameRecord r;
            r.request = readTemplate(uint16_t(first + i));
            r.verdict = Fault::noReply;
            objects().tap.observe(r);
        }
        objects().traffic.pickUpNow();
    }
    std::string topMeaning() {
        return table->model()->index(table->verticalScrollBar()->value(), 0).isValid()
                   ? objects()
                         .traffic.tableRows()[std::size_t(table->verticalScrollBar()->value())]
                         .meaning
                   : "";
    }
    QTableView* table = nullptr;
};

} // namespace

// What a frame meant is what a person reads there first: the panel opens
// with room for a read and its answer in that column.
TEST_F(TrafficView, MeaningOpensWideEnoughToRead) {
    const int need =
        table->fontMetrics().horizontalAdvance(QString::fromUtf8("read 0x1000 PV \u2192 23.7")) +
        12;
    const auto meaning = [&] { return table->columnWidth(TrafficModel::meaningColumn); };
    waitUntil([&] { return meaning() >= need; });
    EXPECT_GE(meaning(), need);
}

TEST_F(TrafficView, NewestAtTheBottomUnlessScrolledUp) {
    exchanges(0, 1000);
    QScrollBar* bar = table->verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum()) << "follows the newest row";
    exchanges(1000, 10);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(1500);
    const std::string top = topMeaning();
    exchanges(1010, 10);
    EXPECT_EQ(topMeaning(), top);
    // A full table drops the oldest rows, above the one on top; it stays on top.
    exchanges(2000, int(kKeptRows / 2) - 970);
    ASSERT_EQ(objects().traffic.rowsShown(), int(kKeptRows));
    EXPECT_EQ(topMeaning(), top);
    EXPECT_EQ(bar->value(), 1500 - 100);
}

// A bulk read on a line where about one reply in twenty goes wrong; the
// picture is kept where Q7_TRAFFIC_PICTURE says, for a person to look at.
TEST_F(TrafficView, FailedExchangesStandOutInThePicture) {
    std::mt19937 random(15);
    const std::vector<std::function<void()>> faults = {
        [&] { sim->dropReplies(1); },   [&] { sim->flipBit(3, 2); },
        [&] { sim->truncateNext(4); },  [&] { sim->wrongSlaveNext(2); },
        [&] { sim->exceptionNext(4); },
    };
    std::size_t next = 0;
    SetComTime(line().port(), 0.2);
    sim->setRequestHook([&](int) {
        if (random() % 20 == 0) faults[next++ % faults.size()]();
    });
    for (int i = 0; i < 3; ++i)
        runOnControlThread([this] { ReadParmsFromMeter(controller()); });
    sim->setRequestHook(nullptr);
    objects().traffic.pickUpNow();
    ASSERT_GT(next, 0u);

    QWidget* panel = table->window();
    panel->resize(1200, 640);
    table->scrollToBottom();
    ASSERT_TRUE(waitUntil([&] { return panel->isVisible(); }));
    const QImage picture = panel->grab().toImage();
    if (const char* keep = std::getenv("Q7_TRAFFIC_PICTURE")) picture.save(keep);

    // Some row on show is failed; its cells are painted apart from a good one's.
    const std::vector<TrafficRow> rows = objects().traffic.tableRows();
    const int first = table->rowAt(0);
    int last = table->rowAt(table->viewport()->height() - 1);
    if (last < 0) last = int(rows.size()) - 1;
    int failed = -1, good = -1;
    for (int row = first; row <= last && row >= 0; ++row)
        (isFailure(rows[std::size_t(row)].verdict) ? failed : good) = row;
    ASSERT_GE(failed, 0) << "no failed row on show";
    ASSERT_GE(good, 0);
    const auto colourOf = [&](int row) {
        const QRect cell = table->visualRect(table->model()->index(row, 1));
        const QPoint at = table->viewport()->mapTo(panel, cell.topLeft() + QPoint(2, 2));
        return picture.pixelColor(at);
    };
    EXPECT_NE(colourOf(failed), colourOf(good));
}
