// q7 runs verify on a real store: intact with each run's seal, and an edit
// another tool made (a sample's value, an event's text, a row deleted)
// named by its run and its place, while the other runs stay intact.
#include "history/history_fixture.h"
#include "history/run_text.h"

#include <filesystem>

TEST_F(History, VerifyNamesTheRunAndThePlaceOfEachEditMadeWithSqlite3) {
    auto s = store();
    ASSERT_TRUE(s);
    const long long edited = addRun(*s, kT0, 600);
    const long long other = addRun(*s, kT0 + 86400, 0);
    RunState st;
    st.programName = "Bisque";
    st.programText = kProgram;
    st.opened = kT0 + 2 * 86400;
    st.phase = RunPhase::running;
    st.zones.resize(1);
    const auto open = s->create(st, std::nullopt, nullptr);
    ASSERT_TRUE(open);
    ASSERT_TRUE(s->record(
        *open, RunUpdate{st, {RunSample{st.opened, 0, 20, 20, {}, 20}}, {}, false}, nullptr));
    const std::string seal = s->seal(edited)->hex;
    EXPECT_EQ(seal.size(), 64u);
    s.reset();

    const auto runLine = [](long long id) { return "run " + std::to_string(id) + ": "; };
    const Ran clean = run({"runs", "verify"});
    ASSERT_EQ(clean.status, 0) << clean.err;
    EXPECT_NE(clean.out.find(runLine(edited) + "intact, sealed " + seal + "\n"), std::string::npos)
        << clean.out;
    EXPECT_NE(clean.out.find(runLine(*open) + "intact up to its last link; not sealed yet"),
              std::string::npos)
        << clean.out;

    const std::string store = path(kRunStoreFile), kept = path("kept.sqlite");
    std::filesystem::copy_file(store, kept);
    const auto at = [](double t) { return " (time " + dateAndTime(t) + ")"; };
    const struct {
        std::string sql, place;
    } edits[] = {
        {"UPDATE samples SET pv = pv + 0.5 WHERE run_id = 1 AND zone = 1 AND time = " +
             std::to_string(long(kT0 + 600)),
         "the samples" + at(kT0 + 600)},
        {"DELETE FROM samples WHERE run_id = 1 AND zone = 0 AND time = " +
             std::to_string(long(kT0 + 1200)),
         "the samples" + at(kT0 + 1200)},
        // Events 2 and 3: the second segment's start, the hold-back's.
        {"UPDATE events SET text = 'on time' WHERE id = 2", "event 2" + at(kT0 + 4200)},
        {"DELETE FROM events WHERE id = 3", "event 3 (its row is gone)"},
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(e.sql);
        ASSERT_EQ(sqlite3(e.sql), 0);
        const Ran r = run({"runs", "verify"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.out.find(runLine(edited) + "broken at " + e.place + "\n"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(runLine(other) + "intact"), std::string::npos) << r.out;
        // One run asked for is the one told.
        EXPECT_EQ(run({"runs", "verify", std::to_string(other)}).status, 0);
        std::filesystem::copy_file(kept, store, std::filesystem::copy_options::overwrite_existing);
    }
    EXPECT_EQ(run({"runs", "verify", "99"}).status, 2);
}
