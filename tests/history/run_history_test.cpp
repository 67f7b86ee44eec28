// A run's figures, batch, trend and CSV, from runs built here into a real
// runs.sqlite with known answers: a run on its plan to the degree, and runs
// that the plan waited for in segment 2. The commands read that store as a
// user runs them.
#include "history/history_fixture.h"
#include "history/ramp_trend.h"
#include "history/run_history.h"
#include "history/sample_csv.h"
#include "runs/plan.h"

TEST_F(History, FiguresOfARunOnItsPlanAndOfOneHeldBackInSegment2) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long exact = addRun(*s, kT0, 0);
    const long long held = addRun(*s, kT0 + 86400, 600);
    const auto batches = batchNumbers(*s);

    const auto a = loadFigures(*s, exact, batches);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->batch, 1);
    EXPECT_EQ(a->noPlan, "");
    EXPECT_EQ(a->largestDeviation, 0.0);
    EXPECT_EQ(a->heldBackSeconds, 0.0);
    EXPECT_EQ(a->lengthSeconds, 8400.0);
    ASSERT_EQ(a->segments.size(), 3u);
    const double planned[] = {4200, 3600, 600};
    for (int i = 0; i < 3; ++i) {
        const SegmentFigures& g = a->segments[std::size_t(i)];
        EXPECT_EQ(g.segment, i);
        EXPECT_TRUE(g.finished);
        EXPECT_TRUE(g.ramp);
        EXPECT_EQ(g.plannedSeconds, planned[i]);
        EXPECT_EQ(g.actualSeconds, planned[i]);
        EXPECT_EQ(g.meanDeviation, 0.0);
    }
    EXPECT_DOUBLE_EQ(*a->segments[0].rateReached, 60);
    EXPECT_DOUBLE_EQ(*a->segments[1].rateReached, 60);
    EXPECT_EQ(a->segments[0].rampSeconds, 3600.0);

    const auto b = loadFigures(*s, held, batches);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->batch, 2);
    EXPECT_EQ(b->heldBackSeconds, 600.0);
    EXPECT_EQ(b->largestDeviation, 6.0);
    ASSERT_EQ(b->segments.size(), 3u);
    EXPECT_EQ(b->segments[0].heldBackSeconds, 0.0);
    EXPECT_EQ(b->segments[1].heldBackSeconds, 600.0);
    EXPECT_EQ(b->segments[1].plannedSeconds, 3600.0);
    EXPECT_EQ(b->segments[1].actualSeconds, 4200.0);
    EXPECT_EQ(b->segments[1].largestDeviation, 6.0);
    EXPECT_EQ(b->segments[2].heldBackSeconds, 0.0);
    EXPECT_EQ(b->segments[2].largestDeviation, 0.0);

    const Ran r = run({"runs", "show", std::to_string(held)});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("held back 0:10:00 in all; largest deviation from the plan 6.0"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n2        1:00:00  1:10:00  0:10:00    6.0"), std::string::npos)
        << r.out;
    const Ran list = run({"runs", "--last", "1"});
    EXPECT_EQ(list.status, 0) << list.err;
    ASSERT_EQ(lines(list.out).size(), 2u) << list.out;
    EXPECT_EQ(lines(list.out)[1].rfind(std::to_string(held) + "   Bisque   2  ", 0), 0u)
        << list.out;
    EXPECT_NE(lines(list.out)[1].find("completed  6.0      0:10:00"), std::string::npos)
        << list.out;
}

TEST_F(History, ExportIsOneHeaderAndOneRowPerPollAndTheSameBytesTwice) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long id = addRun(*s, kT0, 0);
    s.reset();
    ASSERT_EQ(run({"runs", "export", std::to_string(id), "-o", "r.csv"}).status, 0);
    const std::string first = readFile("r.csv");
    const auto rows = lines(first);
    ASSERT_EQ(rows.size(), 1u + 8400 / 60 + 1);
    EXPECT_EQ(rows[0], "time,zone1_pv,zone1_sv,zone1_output,zone2_pv,zone2_sv,zone2_output");
    EXPECT_EQ(rows[1], "2027-01-15T08:00:00.000Z,20,20,50,20,20,51");
    EXPECT_EQ(rows[2], "2027-01-15T08:01:00.000Z,21,21,50,21,21,51");
    ASSERT_EQ(run({"runs", "export", std::to_string(id), "-o", "r.csv"}).status, 0);
    EXPECT_EQ(readFile("r.csv"), first);

    const Ran bad = run({"runs", "export", "99", "-o", "x.csv"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("no run 99 in runs.sqlite"), std::string::npos) << bad.err;
    EXPECT_FALSE(exists("x.csv"));
    EXPECT_EQ(run({"runs", "show", "x1"}).status, 2);
    EXPECT_EQ(run({"runs", "export", std::to_string(id)}).status, 2);
}

TEST_F(History, TrendTellsARampThatGetsSlowerRunAfterRun) {
    auto s = store();
    ASSERT_TRUE(s);
    // Segment 2 waits longer each firing; segment 1 takes its time every time.
    for (int i = 0; i < 5; ++i)
        addRun(*s, kT0 + 86400.0 * i, std::vector<double>{0, 60, 300, 420, 540}[std::size_t(i)]);
    // A firing stopped in segment 2 did not finish its ramp: no time for it.
    addRun(*s, kT0 + 86400.0 * 5, 0, 6000);
    const auto trends = rampTrends(programRuns(*s, "Bisque"));
    ASSERT_EQ(trends.size(), 3u);
    EXPECT_EQ(trends[0].points.size(), 6u);
    EXPECT_FALSE(trends[0].slowerThan);
    ASSERT_EQ(trends[1].points.size(), 5u);
    EXPECT_EQ(trends[1].points[4].seconds, 4140.0);
    EXPECT_EQ(trends[1].points[4].batch, 5);
    EXPECT_EQ(trends[1].slowerThan, 3630.0);
    s.reset();
    const Ran r = run({"runs", "trend", "Bisque"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  #1 1:00:00 #2 1:01:00 #3 1:05:00 #4 1:07:00 #5 1:09:00\n"
                         "  segment 2's ramp is getting slower"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("segment 1's ramp is getting slower"), std::string::npos);
    EXPECT_EQ(run({"runs", "trend", "Glaze"}).status, 2);

    // Fewer than two runs before the last three, or one of those three no
    // slower than the median, tells nothing.
    EXPECT_FALSE(slowerThanBefore({100, 120, 130, 140}));
    EXPECT_FALSE(slowerThanBefore({100, 100, 120, 101, 140}));
    EXPECT_EQ(slowerThanBefore({100, 90, 110, 120, 130, 140}), 100.0);
}
