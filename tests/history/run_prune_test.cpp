// q7 runs prune: the samples of runs that ended long ago give way to their
// figures, which list and show tell as before; a run that has not ended
// keeps everything, however old.
#include "history/history_fixture.h"
#include "history/run_history.h"

#include <ctime>

TEST_F(History, PruneDropsOldSamplesKeepsTheirFiguresAndNeverTouchesAnOpenRun) {
    const double now = double(std::time(nullptr));
    auto s = store();
    ASSERT_TRUE(s);
    const long long old = addRun(*s, now - 30 * 86400, 600);
    const long long recent = addRun(*s, now - 86400, 0);
    RunState st;
    st.programName = "Bisque";
    st.programText = kProgram;
    st.opened = now - 40 * 86400;
    st.phase = RunPhase::running;
    st.zones.resize(1);
    const auto open = s->create(st, std::nullopt, nullptr);
    ASSERT_TRUE(open);
    ASSERT_TRUE(s->record(
        *open, RunUpdate{st, {RunSample{st.opened, 0, 20, 20, {}, 20}}, {}, false}, nullptr));
    const auto before = loadFigures(*s, old, *batchNumbers(*s));
    ASSERT_TRUE(before.found());
    s.reset();

    const Ran r = run({"runs", "prune", "--keep-days", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("pruned the samples of 1 run ended before "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" (" + std::to_string(old) + "); their figures are kept"),
              std::string::npos)
        << r.out;

    s = store();
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->samples(old)->empty());
    EXPECT_EQ(s->samples(recent)->size(), 2u * (8400 / 60 + 1));
    EXPECT_EQ(s->samples(*open)->size(), 1u);
    EXPECT_FALSE(s->events(old)->empty());
    const auto after = loadFigures(*s, old, *batchNumbers(*s));
    ASSERT_TRUE(after.found());
    EXPECT_TRUE(after->samplesPruned);
    EXPECT_EQ(after->lengthSeconds, before->lengthSeconds);
    EXPECT_EQ(after->heldBackSeconds, 600.0);
    EXPECT_EQ(after->largestDeviation, 6.0);
    ASSERT_EQ(after->segments.size(), before->segments.size());
    for (std::size_t i = 0; i < after->segments.size(); ++i) {
        const SegmentFigures &a = after->segments[i], &b = before->segments[i];
        EXPECT_EQ(a.segment, b.segment);
        EXPECT_EQ(a.actualSeconds, b.actualSeconds);
        EXPECT_EQ(a.heldBackSeconds, b.heldBackSeconds);
        EXPECT_EQ(a.meanDeviation, b.meanDeviation);
        EXPECT_EQ(a.rateReached, b.rateReached);
        EXPECT_EQ(a.finished, b.finished);
    }
    s.reset();

    const Ran show = run({"runs", "show", std::to_string(old)});
    EXPECT_NE(show.out.find("held back 0:10:00 in all; largest deviation from the plan 6.0"),
              std::string::npos)
        << show.out;
    EXPECT_NE(show.out.find("its samples were pruned"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("\n2        1:00:00  1:10:00  0:10:00    6.0"), std::string::npos)
        << show.out;
    const Ran exported = run({"runs", "export", std::to_string(old), "-o", "x.csv"});
    EXPECT_EQ(exported.status, 2);
    EXPECT_NE(exported.err.find("samples were pruned"), std::string::npos) << exported.err;
    // What the prune kept is sealed after the run's own seal; an edit of it shows.
    const Ran verified = run({"runs", "verify", std::to_string(old)});
    EXPECT_EQ(verified.status, 0) << verified.out;
    EXPECT_NE(verified.out.find("intact, sealed "), std::string::npos) << verified.out;
    EXPECT_NE(verified.out.find("kept in their place are sealed too"), std::string::npos);
    ASSERT_EQ(
        sqlite3("UPDATE kept_segments SET held_back = 0 WHERE run_id = " + std::to_string(old)), 0);
    const Ran edited = run({"runs", "verify", std::to_string(old)});
    EXPECT_EQ(edited.status, 1);
    EXPECT_NE(edited.out.find("broken at the figures kept by the prune"), std::string::npos)
        << edited.out;
    const Ran again = run({"runs", "prune", "--keep-days", "7"});
    EXPECT_NE(again.out.find("holds samples"), std::string::npos) << again.out;
    EXPECT_EQ(run({"runs", "prune", "--keep-days", "-1"}).status, 2);
}

// An ended run's figures are kept the first time they are computed, and the
// list's figures are the same kept as computed; a copy an older computation
// kept is computed again and replaced, and a run going on keeps none.
TEST_F(History, KeptFiguresAreTheComputedOnesAndAnOlderComputationsAreReplaced) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long id = addRun(*s, kT0, 600);
    const auto run = s->load(id);
    ASSERT_TRUE(run.found());
    const RunFigures computed = runFigures(*run, *s->samples(id), *s->events(id));
    EXPECT_FALSE(s->keptFigures(id).found());
    const auto same = [&](const RunFigures& f) {
        EXPECT_EQ(f.segments, computed.segments);
        EXPECT_EQ(f.lengthSeconds, computed.lengthSeconds);
        EXPECT_EQ(f.heldBackSeconds, computed.heldBackSeconds);
        EXPECT_EQ(f.largestDeviation, computed.largestDeviation);
        EXPECT_FALSE(f.samplesPruned);
    };
    same(*loadFigures(*s, id, {}));
    const auto kept = s->keptFigures(id);
    ASSERT_TRUE(kept.found());
    EXPECT_EQ(kept->version, kFiguresVersion);
    EXPECT_FALSE(kept->samplesPruned);
    same(*loadFigures(*s, id, {})); // now from what was kept

    KeptFigures older = *kept;
    older.version = kFiguresVersion - 1;
    older.segments[1].largestDeviation = 99;
    older.lengthSeconds = 1;
    ASSERT_TRUE(s->keepFigures(id, older, nullptr));
    same(*loadFigures(*s, id, {}));
    EXPECT_EQ(s->keptFigures(id)->version, kFiguresVersion);
    EXPECT_EQ(s->keptFigures(id)->segments, computed.segments);

    RunState st;
    st.programName = "Bisque";
    st.programText = kProgram;
    st.opened = kT0 + 86400;
    st.phase = RunPhase::running;
    st.zones.resize(1);
    const auto going = s->create(st, std::nullopt, nullptr);
    ASSERT_TRUE(going);
    ASSERT_TRUE(s->record(
        *going, RunUpdate{st, {RunSample{st.opened, 0, 20, 20, {}, 20}}, {}, false}, nullptr));
    ASSERT_FALSE(loadFigures(*s, *going, {}).failed());
    EXPECT_FALSE(s->keptFigures(*going).found());
    std::string why;
    EXPECT_FALSE(s->keepFigures(*going, older, &why));
    EXPECT_NE(why.find("has not ended"), std::string::npos) << why;
}
