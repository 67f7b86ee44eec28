// What the traffic keeps: the table's bound, the rows waiting for a paused or
// busy panel, and the trace file, which is continued and never overwritten.
#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "traffic/csv_rows.h"
#include "traffic/panel/traffic_model.h"
#include "traffic/trace_writer.h"
#include "traffic/traffic_tap.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

TrafficRow numbered(int n) {
    TrafficRow row;
    row.attempt = n; // stands for the row's identity here
    row.verdict = n % 2 ? Verdict::noReply : Verdict::good;
    return row;
}

std::vector<TrafficRow> rowsFrom(int first, int count) {
    std::vector<TrafficRow> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back(numbered(first + i));
    return rows;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST(TrafficStore, TableKeepsTheNewestRowsOnly) {
    TrafficModel model(100);
    EXPECT_EQ(model.append(rowsFrom(0, 60)), 0);
    EXPECT_EQ(model.append(rowsFrom(60, 60)), 20);
    ASSERT_EQ(model.rowCount(), 100);
    EXPECT_EQ(model.rows().front().attempt, 20);
    EXPECT_EQ(model.rows().back().attempt, 119);
    // A batch larger than the table leaves only its own newest rows.
    EXPECT_EQ(model.append(rowsFrom(1000, 250)), 100);
    EXPECT_EQ(model.rows().front().attempt, 1150);
    EXPECT_EQ(model.rowCount(), 100);
    // Failed rows are marked for the filter and stand out.
    EXPECT_TRUE(model.index(1, 0).data(TrafficModel::failedRole).toBool());
    EXPECT_FALSE(model.index(0, 0).data(TrafficModel::failedRole).toBool());
    EXPECT_TRUE(model.index(1, 0).data(Qt::BackgroundRole).isValid());

    FailuresFilter filter;
    filter.setSourceModel(&model);
    filter.setFailuresOnly(true);
    EXPECT_EQ(filter.rowCount(), 50);
    model.clear();
    EXPECT_EQ(filter.rowCount(), 0);
}

TEST(TrafficStore, RowsWaitingForThePanelAreBoundedAndWakeItOnce) {
    TrafficTap tap;
    int wakes = 0;
    tap.keepRows([&] { ++wakes; });
    FrameRecord r;
    r.request = {0x01, 0x03, 0x10, 0x00, 0x00, 0x01, 0x80, 0xCA};
    for (std::size_t i = 0; i < kKeptRows; ++i) // two rows each
        tap.observe(r);
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(tap.takeRows().size(), kKeptRows);
    EXPECT_EQ(tap.statistics().counts().requests, int64_t(kKeptRows));
    tap.observe(r);
    EXPECT_EQ(wakes, 2);
    tap.stopKeepingRows();
    tap.observe(r);
    EXPECT_TRUE(tap.takeRows().empty());
    EXPECT_EQ(tap.statistics().counts().requests, int64_t(kKeptRows) + 2);
}

// A device that came back by itself is told where it happened, between the
// frames, and counts as no exchange.
TEST(TrafficStore, ReconnectionByItselfIsARowAmongTheFrames) {
    Line line;
    Controller controller(line);
    TrafficTap tap;
    tap.install(controller);
    tap.keepRows([] {});
    line.reportLineEvent(LineEvent::lost, 3);
    EXPECT_TRUE(tap.takeRows().empty()) << "the lost line shows on its frame";
    line.reportLineEvent(LineEvent::reconnected, 3);
    const std::vector<TrafficRow> rows = tap.takeRows();
    tap.uninstall();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].tx);
    EXPECT_TRUE(rows[0].bytes.empty());
    EXPECT_EQ(rows[0].verdict, Verdict::good);
    EXPECT_NE(rows[0].meaning.find("reconnected by itself"), std::string::npos);
    EXPECT_EQ(tap.statistics().counts().requests, 0);
}

TEST(TrafficStore, TraceIsContinuedWithOneHeaderAndRefusedWhereItCannotBeWritten) {
    char tmpl[] = "/tmp/q7trace.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string path = std::string(tmpl) + "/t.csv";
    std::string why;
    {
        TraceWriter w;
        ASSERT_TRUE(w.open(path, &why)) << why;
        w.write(rowsFrom(1, 2));
    }
    {
        TraceWriter w;
        ASSERT_TRUE(w.open(path, &why)) << why;
        w.write(rowsFrom(3, 1));
    }
    const std::string text = slurp(path);
    EXPECT_EQ(text.find(csvHeader()), 0u);
    EXPECT_EQ(text.find(csvHeader(), 1), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

    TraceWriter w;
    EXPECT_FALSE(w.open(std::string(tmpl) + "/no/such/folder/t.csv", &why));
    EXPECT_NE(why.find("No such file"), std::string::npos) << why;
    std::remove(path.c_str());
    rmdir(tmpl);
}
