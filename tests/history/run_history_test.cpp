// A run's figures, batch, trend and CSV, from runs built here into a real
// runs.sqlite with known answers: a run on its plan to the degree, and runs
// that the plan waited for in segment 2. The commands read that store as a
// user runs them.
#include "history/history_fixture.h"
#include "history/ramp_trend.h"
#include "history/run_history.h"
#include "history/sample_csv.h"
#include "runs/plan.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <fstream>
#include <sys/stat.h>

TEST_F(History, FiguresOfARunOnItsPlanAndOfOneHeldBackInSegment2) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long exact = addRun(*s, kT0, 0);
    const long long held = addRun(*s, kT0 + 86400, 600);
    const auto batches = batchNumbers(*s);

    const auto a = loadFigures(*s, exact, *batches);
    ASSERT_TRUE(a.found());
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

    const auto b = loadFigures(*s, held, *batches);
    ASSERT_TRUE(b.found());
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
    EXPECT_NE(r.out.find("held back 0:10:00 in all; largest deviation from the plan 6.0 \xC2\xB0"
                         "C (segments 1-2; full-rate segment 3 not counted until it reached its "
                         "target)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("\n2        1:00:00  1:10:00  0:10:00    6.0"), std::string::npos)
        << r.out;
    const Ran list = run({"runs", "--last", "1"});
    EXPECT_EQ(list.status, 0) << list.err;
    ASSERT_EQ(lines(list.out).size(), 2u) << list.out;
    EXPECT_EQ(lines(list.out)[1].rfind(std::to_string(held) + "   Bisque   2  ", 0), 0u)
        << list.out;
    EXPECT_NE(lines(list.out)[1].find("completed  6.0 \xC2\xB0"
                                      "C   0:10:00"),
              std::string::npos)
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
    EXPECT_EQ(rows[0], "elapsed s,local time,UTC offset,segment,"
                       "COM1 id 1 PV \xC2\xB0" "C,COM1 id 1 SV \xC2\xB0" "C,"
                       "COM1 id 1 plan SV \xC2\xB0" "C,COM1 id 1 output %,"
                       "COM1 id 2 PV \xC2\xB0" "C,COM1 id 2 SV \xC2\xB0" "C,"
                       "COM1 id 2 plan SV \xC2\xB0" "C,COM1 id 2 output %");
    // Local time as a spreadsheet reads it, beside its offset from UTC.
    EXPECT_EQ(rows[1].rfind("0,2027-01-15 ", 0), 0u) << rows[1];
    EXPECT_NE(rows[1].find(":00:00,"), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find(",1,20,20,20,50,20,20,20,51"), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(",1,21,21,21,50,21,21,21,51"), std::string::npos) << rows[2];
    EXPECT_EQ(rows[71].rfind("4200,", 0), 0u) << rows[71];
    EXPECT_NE(rows[71].find(",2,80,80,80,50"), std::string::npos) << rows[71];
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
    const auto trends = rampTrends(*programRuns(*s, "Bisque"));
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
    const Ran glaze = run({"runs", "trend", "Glaze"});
    EXPECT_EQ(glaze.status, 2);
    EXPECT_NE(glaze.err.find("no runs of Glaze in runs.sqlite; it holds runs of Bisque"),
              std::string::npos)
        << glaze.err;
    // The program's file name finds the runs of the name it gives the program.
    ASSERT_EQ(mkdir(path("programs").c_str(), 0755), 0);
    writeFile("programs/bisque04.q7p", kProgram);
    const Ran byFile = run({"runs", "trend", "bisque04"});
    EXPECT_EQ(byFile.out.substr(byFile.out.find('\n')), r.out.substr(r.out.find('\n')));
    EXPECT_EQ(lines(run({"runs", "--program", "bisque04"}).out).size(), 7u);

    // Fewer than two runs before the last three, or one of those three no
    // slower than the median, tells nothing.
    EXPECT_FALSE(slowerThanBefore({100, 120, 130, 140}));
    EXPECT_FALSE(slowerThanBefore({100, 100, 120, 101, 140}));
    EXPECT_EQ(slowerThanBefore({100, 90, 110, 120, 130, 140}), 100.0);
}

TEST_F(History, ALinkToAFileThatIsNoStoreIsToldAndTheFileLeftAsItWas) {
    ASSERT_EQ(mkdir(path("elsewhere").c_str(), 0755), 0);
    writeFile("elsewhere/notes.txt", "runs, as a text\n");
    ASSERT_EQ(symlink(path("elsewhere/notes.txt").c_str(), path(kRunStoreFile).c_str()), 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"runs"},
                                                 {"runs", "show", "1"},
                                                 {"runs", "trend", "Bisque"},
                                                 {"runs", "export", "1", "-o", "r.csv"},
                                                 {"run", "--status"}}) {
        const Ran r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.err, "q7: the run store runs.sqlite is not a run store (file is not a "
                         "database); it is left as it is\n");
    }
    EXPECT_EQ(readFile("elsewhere/notes.txt"), "runs, as a text\n");
    EXPECT_FALSE(exists("elsewhere/notes.txt.damaged-1"));
    EXPECT_FALSE(exists("runs.sqlite.damaged-1"));
    EXPECT_FALSE(exists("r.csv"));
}

TEST_F(History, ADamagedPageIsAnErrorNotARunWithNoSamplesOrAStoreWithNoRuns) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long id = addRun(*s, kT0, 0);
    s.reset();
    // The samples' first page, as a bad disk leaves it.
    long long page = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "pages");
        db.setDatabaseName(QString::fromStdString(path(kRunStoreFile)));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT (rootpage - 1) * (SELECT page_size FROM pragma_page_size) FROM "
                           "sqlite_master WHERE name = 'samples'") &&
                    q.next());
        page = q.value(0).toLongLong();
        db.close();
    }
    QSqlDatabase::removeDatabase("pages");
    ASSERT_FALSE(exists("runs.sqlite-wal"));
    {
        std::fstream f(path(kRunStoreFile), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(page);
        f.write("\xFF", 1);
    }
    const std::string damaged = readFile(kRunStoreFile);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"runs"},
          {"runs", "show", std::to_string(id)},
          {"runs", "export", std::to_string(id), "-o", "r.csv"}}) {
        const Ran r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("q7: the run store runs.sqlite is damaged (", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("; it is left as it is\n"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(exists("r.csv"));
    EXPECT_TRUE(readFile(kRunStoreFile) == damaged) << "the file was changed";
    EXPECT_FALSE(exists("runs.sqlite.damaged-1"));
}

TEST_F(History, AStoreThatMayNotBeWrittenIsListedShownAndExportedAsItIs) {
    ASSERT_EQ(mkdir(path("kiln").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(path("out").c_str(), 0777), 0);
    ASSERT_EQ(chmod(path("out").c_str(), 0777), 0);
    const std::string file = path("kiln/runs.sqlite");
    auto s = openStore(file);
    ASSERT_TRUE(s);
    const long long first = addRun(*s, kT0, 0);
    s.reset();
    // Nothing has it open: no journal beside it, none may be made.
    ASSERT_FALSE(exists("kiln/runs.sqlite-wal"));
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    ASSERT_EQ(chmod(path("kiln").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    const std::string before = readFile("kiln/runs.sqlite");
    const auto listed = [&](const std::vector<std::string>& args) {
        const Ran r = runUnprivileged("kiln", args);
        if (r.status == 125) return r;
        EXPECT_EQ(r.status, 0) << r.err;
        return r;
    };
    Ran r = listed({"runs"});
    if (r.status == 125) GTEST_SKIP() << "q7 cannot be run as a user who may not write: " << r.err;
    EXPECT_EQ(lines(r.out).size(), 2u) << r.out;
    EXPECT_EQ(lines(r.out)[1].rfind(std::to_string(first) + "   Bisque   1  ", 0), 0u) << r.out;
    r = listed({"runs", "show", std::to_string(first)});
    EXPECT_NE(r.out.find("held back 0:00:00 in all"), std::string::npos) << r.out;
    listed({"runs", "export", std::to_string(first), "-o", path("out/r.csv")});
    EXPECT_EQ(lines(readFile("out/r.csv")).size(), 1u + 8400 / 60 + 1);
    EXPECT_TRUE(readFile("kiln/runs.sqlite") == before) << "the file was changed";
    EXPECT_FALSE(exists("kiln/runs.sqlite-wal"));
    EXPECT_FALSE(exists("kiln/runs.sqlite-shm"));

    // While a q7 that may write records another run and keeps the store
    // open, a reader sees it through the writer's journal.
    if (geteuid() == 0) {
        auto writer = openStore(file);
        ASSERT_TRUE(writer);
        const long long second = addRun(*writer, kT0 + 86400, 0);
        ASSERT_TRUE(exists("kiln/runs.sqlite-wal"));
        r = listed({"runs"});
        EXPECT_EQ(lines(r.out).size(), 3u) << r.out;
        EXPECT_EQ(lines(r.out)[1].rfind(std::to_string(second) + "   Bisque   2  ", 0), 0u)
            << r.out;
    }
    ASSERT_EQ(chmod(path("kiln").c_str(), 0755), 0);
}
