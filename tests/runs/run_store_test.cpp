// The run store on a real SQLite file: a run recorded as the engine goes,
// read back after the store was closed, resumed in its own record (or in a
// run of its own where the unit changed); a
// store of a newer program, or a database that is no store, refused
// untouched; a damaged one kept aside by a writer alone (a link as the
// link), and told as damage by a reader, whose reads fail where they meet
// it; one of an older version brought up with its runs, or read as it is.
#include "base/time_text.h"
#include "fake_zone.h"
#include "runs/run_end_journal.h"
#include "runs/run_recorder.h"
#include "runs/run_store.h"
#include "support/small_disk.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace {

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/q7store.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        path = dir + "/runs.sqlite";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::unique_ptr<RunStore> open() {
        auto s = RunStore::open(path);
        if (auto* why = std::get_if<std::string>(&s)) {
            ADD_FAILURE() << *why;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RunStore>>(s));
    }
    std::string refusal(RunStore::Use use = RunStore::Use::record) {
        auto s = RunStore::open(path, use);
        return std::holds_alternative<std::string>(s) ? std::get<std::string>(s) : "";
    }
    std::unique_ptr<RunStore> openToRead() {
        auto s = RunStore::open(path, RunStore::Use::read);
        if (auto* why = std::get_if<std::string>(&s)) {
            ADD_FAILURE() << *why;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RunStore>>(s));
    }
    // One number the file's own SQL gives.
    long long value(const QString& query) {
        long long v = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(QString::fromStdString(path));
            EXPECT_TRUE(db.open());
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(query) && q.next()) << query.toStdString();
            v = q.value(0).toLongLong();
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
        return v;
    }
    // Bytes written over the closed file at offset, as a bad disk would;
    // what stood there.
    std::string overwrite(long long offset, const std::string& with) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        std::string was(with.size(), '\0');
        f.seekg(offset);
        f.read(was.data(), std::streamsize(was.size()));
        f.seekp(offset);
        f.write(with.data(), std::streamsize(with.size()));
        return was;
    }
    // Where a table's first page stands in the file.
    long long pageOf(const char* table) {
        return (value(QString("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(table)) -
                1) *
               value("PRAGMA page_size");
    }
    // SQL run on the file by itself, as another program would.
    void sql(const std::vector<QString>& statements) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(QString::fromStdString(path));
            ASSERT_TRUE(db.open());
            for (const QString& s : statements)
                EXPECT_TRUE(QSqlQuery(db).exec(s)) << s.toStdString();
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
    }
    std::string bytes() const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string dir, path;
};

// What a store of a version before the chains lacks.
const QString kNoChains[] = {"DROP TABLE chain_links", "ALTER TABLE runs DROP COLUMN seal",
                             "ALTER TABLE runs DROP COLUMN chain_since"};

const char* const kProgram = "[program]\nname = Glaze\nunit = C\nstart = 20\nend = hold\n"
                             "[segments]\n360 30 0:01\n-360 25 0:00\n";

std::unique_ptr<RunEngine> engineFor(std::shared_ptr<FakeKiln> kiln, const RunState* resumed,
                                     double wall = 1.7e9) {
    std::vector<EngineZone> zones;
    zones.push_back({std::make_unique<FakeZone>(kiln), "COM3", 7, 0});
    const auto program = std::get<FiringProgram>(parseFiringProgram(kProgram));
    RunOptions o;
    o.wallNow = wall;
    return resumed ? std::make_unique<RunEngine>(program, *resumed, std::move(zones), o)
                   : std::make_unique<RunEngine>(program, kProgram, std::move(zones), o);
}

} // namespace

TEST_F(Store, ARunIsReadBackAfterReopeningAndGoesOnInItsOwnRecord) {
    VirtualClock clock;
    auto kiln = std::make_shared<FakeKiln>();
    kiln->facts = {TemperatureUnit::celsius, 1, 0, 1200, true, 60};
    kiln->rampRate = 4.5;
    long long first = 0;
    {
        auto store = open();
        ASSERT_TRUE(store);
        RunRecorder recorder(*store);
        auto engine = engineFor(kiln, nullptr);
        engine->addListener(&recorder);
        ASSERT_EQ(engine->open(), "");
        for (int i = 0; i < 120; ++i, clock.advance(1))
            engine->tick();
        EXPECT_EQ(recorder.problem(), "");
        first = recorder.runId().value();
        EXPECT_TRUE(std::filesystem::exists(path + "-wal")); // WAL mode
    } // the process is gone, the run unfinished

    auto store = open();
    ASSERT_TRUE(store);
    EXPECT_EQ(*store->unfinished(), std::vector<long long>{first});
    const auto stored = store->load(first);
    ASSERT_TRUE(stored.found());
    const RunState& st = stored->state;
    EXPECT_EQ(st.programName, "Glaze");
    EXPECT_EQ(st.programText, kProgram);
    EXPECT_EQ(st.phase, RunPhase::running);
    EXPECT_EQ(st.segment, 0);
    EXPECT_NEAR(st.planClock, 119, 1e-6);
    ASSERT_EQ(st.zones.size(), 1u);
    EXPECT_EQ(st.zones[0].port, "COM3");
    EXPECT_EQ(st.zones[0].id, 7);
    EXPECT_EQ(st.zones[0].rampBefore, 4.5);
    EXPECT_EQ(st.zones[0].lastWritten, 30.0);
    EXPECT_EQ(st.writes, 3); // ramp rate, SV, On
    const auto samples = *store->samples(first);
    ASSERT_EQ(samples.size(), 119u); // one a poll once the plan began
    EXPECT_EQ(samples[10].pv, 30.0);
    EXPECT_NEAR(*samples[10].planSv, 21.1, 1e-9);
    EXPECT_FALSE(samples[10].output);
    const auto events = *store->events(first);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0].kind, EventKind::start);
    EXPECT_EQ(events[0].text, "started in segment 1 of 2 at 20 °C, 0:04 to go");

    // Another process goes on with it 30 s after the last sample: in the
    // same record, the gap between among its events.
    const double lastSample = samples.back().time;
    auto engine = engineFor(kiln, &st, lastSample + 30);
    {
        RunRecorder recorder(*store, *stored);
        engine->addListener(&recorder);
        ASSERT_EQ(engine->open(), "");
        EXPECT_EQ(recorder.runId(), first);
        for (int i = 0; i < 20; ++i, clock.advance(1))
            engine->tick();
    } // killed again
    const auto again = *store->load(first);
    EXPECT_EQ(again.state.started, st.started);
    EXPECT_GT(again.state.writes, st.writes); // counted on

    // A controller that shows another unit now than the samples were taken
    // in goes on in a run of its own, which names the one it went on from.
    kiln->facts.unit = TemperatureUnit::fahrenheit;
    kiln->pv = kiln->svSetting = 90;
    RunRecorder recorder(*store, again);
    engine = engineFor(kiln, &again.state, lastSample + 100);
    engine->addListener(&recorder);
    ASSERT_EQ(engine->open(), "");
    engine->tick();
    const long long second = recorder.runId().value();
    EXPECT_NE(second, first);
    EXPECT_EQ(*store->runIds(), (std::vector<long long>{second, first}));
    EXPECT_EQ(store->load(first)->state.outcome, RunOutcome::resumed);
    const auto after = store->load(second);
    EXPECT_EQ(after->resumedFrom, first);
    EXPECT_EQ(after->state.zones[0].rampBefore, 4.5); // known across the processes
    engine->stop();
    EXPECT_EQ(kiln->rampRate, 4.5);
    EXPECT_TRUE(store->unfinished()->empty());
    std::vector<std::string> kinds;
    std::string lost;
    for (const RunEvent& e : *store->events(first)) {
        kinds.push_back(eventKindName(e.kind));
        if (driverLost(e)) lost = e.text + (e.time == lastSample ? "" : " (elsewhen)");
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"start", "silence", "resume"}));
    EXPECT_EQ(lost, "driver lost at " + clockTextAt(lastSample) + " (last sample)");
    // Both records chained on across the processes: the first sealed as it
    // ended in the second, the second as it was stopped.
    for (long long id : {first, second}) {
        const auto chain = store->checkChain(id);
        EXPECT_EQ(chain->verdict, ChainCheck::Verdict::intact) << id << ": " << chain->place;
        EXPECT_EQ(chain->seal, store->seal(id)->hex);
        EXPECT_FALSE(chain->sealedAtUpgrade);
    }
}

TEST_F(Store, AStoreOfVersion10HasEveryRunChainedAsItIsBroughtUpAndSaysSo) {
    {
        auto store = open();
        ASSERT_TRUE(store);
        RunState st;
        st.programName = "Old";
        st.programText = kProgram;
        st.opened = 100;
        st.phase = RunPhase::running;
        st.zones.resize(1);
        for (int run = 0; run < 2; ++run) {
            st.zones[0].id = run + 1; // each its own controller
            const auto id = store->create(st, std::nullopt, nullptr);
            ASSERT_TRUE(id);
            RunUpdate u{st, {RunSample{101, 0, 20.5, 30, {}, 21}}, {}, true};
            u.events.push_back(RunEvent{101, 0, EventKind::start, 0, "started"});
            ASSERT_TRUE(store->record(*id, u, nullptr));
        }
    }
    // As version 10 left it: the first run ended, the second still going.
    sql({kNoChains[0], kNoChains[1], kNoChains[2],
         "UPDATE runs SET phase = 'ended', outcome = "
         "'completed', ended = 200 WHERE id = 1",
         "PRAGMA user_version=10"});
    {
        const auto reader = openToRead();
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->checkChain(1)->verdict, ChainCheck::Verdict::unchained);
        EXPECT_FALSE(reader->seal(1).found());
    }
    auto store = open();
    ASSERT_TRUE(store);
    const auto ended = store->checkChain(1);
    EXPECT_EQ(ended->verdict, ChainCheck::Verdict::intact) << ended->place;
    EXPECT_TRUE(ended->sealedAtUpgrade);
    EXPECT_TRUE(store->seal(1)->atUpgrade);
    EXPECT_EQ(store->checkChain(2)->verdict, ChainCheck::Verdict::open);

    // The open one goes on from the chain made for it, and is sealed as it ends.
    RunState st = store->load(2)->state;
    st.phase = RunPhase::ended;
    st.outcome = RunOutcome::completed;
    st.ended = 300;
    ASSERT_TRUE(
        store->record(2, RunUpdate{st, {RunSample{299, 0, 22, 30, {}, 22}}, {}, true}, nullptr));
    EXPECT_EQ(store->checkChain(2)->verdict, ChainCheck::Verdict::intact);
    EXPECT_EQ(store->checkChain(2)->seal, store->seal(2)->hex);
    // A sample the upgrade chained changed afterwards breaks where it is.
    sql({"UPDATE samples SET pv = 20.25 WHERE run_id = 2 AND time = 101"});
    const auto edited = store->checkChain(2);
    EXPECT_EQ(edited->verdict, ChainCheck::Verdict::broken);
    EXPECT_EQ(edited->place, "the samples");
    EXPECT_EQ(edited->time, 101.0);
}

TEST_F(Store, AStoreOfANewerProgramOrAnotherIsRefusedAndADamagedOneKeptAside) {
    ASSERT_TRUE(open()); // made at this version
    const std::string next = std::to_string(kRunStoreVersion + 1);
    sql({QString::fromStdString("PRAGMA user_version=" + next)});
    const std::string newer = bytes();
    EXPECT_EQ(refusal(), path + " is a run store of version " + next +
                             ", made by a newer q7; this one knows up to version " +
                             std::to_string(kRunStoreVersion) + " and leaves the file as it is");
    EXPECT_EQ(bytes(), newer);

    std::filesystem::remove(path);
    sql({"CREATE TABLE things (a)"});
    const std::string other = bytes();
    EXPECT_EQ(refusal(), path + " holds a database that is not a run store; it is left as it is");
    EXPECT_EQ(bytes(), other);

    // Bytes that are no database: told, kept beside under a name no file
    // had (the first is taken), and a new store begins.
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    std::ofstream(path) << "runs, as a text\n";
    std::ofstream(path + ".damaged-1") << "kept before\n";
    {
        const auto store = open();
        ASSERT_TRUE(store);
        EXPECT_EQ(store->notice(), path + " is damaged (file is not a database): it is kept as " +
                                       path + ".damaged-2, and a new run store is started");
        EXPECT_TRUE(store->runIds()->empty());
    }
    std::ifstream kept(path + ".damaged-2");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "runs, as a text\n");
    std::ifstream before(path + ".damaged-1");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(before), {}), "kept before\n");
    const auto again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->notice(), "");

    // An empty file is a store of no version yet: it is brought up to this one's.
    std::filesystem::remove(path);
    std::ofstream(path).close();
    ASSERT_TRUE(open());
    sql({"INSERT INTO runs (program_name, program_text, phase, opened) VALUES ('x', '', "
         "'ended', 0)"});
}

TEST_F(Store, AStoreOfVersion1IsBroughtUpAndItsRunsKeptAndDrivenAgain) {
    ASSERT_TRUE(open());
    // As version 1 left it: no record of who drives a run, no figures kept.
    sql({"DROP TABLE sample_blocks", "DROP TABLE kept_segments", "DROP TABLE kept_runs",
         "DROP INDEX samples_by_run_time_zone",
         "CREATE INDEX samples_by_run ON samples(run_id, time)",
         "ALTER TABLE runs DROP COLUMN driver_pid", "ALTER TABLE runs DROP COLUMN driver_token",
         "ALTER TABLE runs DROP COLUMN stop_requested", "DROP TABLE mark_requests",
         "ALTER TABLE runs DROP COLUMN continue_requested", "ALTER TABLE zones DROP COLUMN unit",
         "ALTER TABLE zones DROP COLUMN device", kNoChains[0], kNoChains[1], kNoChains[2],
         "PRAGMA user_version=1",
         "INSERT INTO runs (program_name, program_text, phase, opened) VALUES ('Old', '', "
         "'running', 5)",
         "INSERT INTO zones (run_id, zone, port, controller_id) VALUES (1, 0, 'COM2', 3), "
         "(1, 1, '/dev/ttyUSB0', 4)"});
    const auto store = open();
    ASSERT_TRUE(store);
    const auto run = store->load(1);
    ASSERT_TRUE(run.found());
    EXPECT_EQ(run->state.programName, "Old");
    EXPECT_EQ(run->state.kind, RunKind::program);
    // A zone named by its number has no device recorded; the bridge named
    // its zones by their device.
    ASSERT_EQ(run->state.zones.size(), 2u);
    EXPECT_EQ(run->state.zones[0].device, "");
    EXPECT_EQ(run->state.zones[1].device, "/dev/ttyUSB0");
    EXPECT_FALSE(store->driver(1).found());
    EXPECT_FALSE(*store->stopRequested(1));

    ASSERT_TRUE(store->drive(1, nullptr));
    const auto me = store->driver(1);
    ASSERT_TRUE(me.found());
    EXPECT_EQ(me->pid, getpid());
    EXPECT_TRUE(stillRunning(*me));
    // A pid the system gave another process since is not the driver.
    EXPECT_FALSE(stillRunning({me->pid, me->token + "0"}));
    ASSERT_TRUE(store->requestStop(1, 10, nullptr));
    EXPECT_TRUE(*store->stopRequested(1));
}

TEST_F(Store, AStoreOfVersion3KeepsItsPrunedRunsFiguresAsPruned) {
    ASSERT_TRUE(open());
    // Version 3 kept figures only in place of pruned samples, of one computation.
    sql({"DROP TABLE sample_blocks", "DROP TABLE mark_requests",
         "ALTER TABLE runs DROP COLUMN continue_requested", "ALTER TABLE zones DROP COLUMN unit",
         "ALTER TABLE zones DROP COLUMN device", "ALTER TABLE kept_runs DROP COLUMN samples_pruned",
         "ALTER TABLE kept_runs DROP COLUMN figures_version", kNoChains[0], kNoChains[1],
         kNoChains[2], "PRAGMA user_version=3",
         "INSERT INTO runs (program_name, program_text, phase, opened) VALUES ('Old', '', "
         "'ended', 5)",
         "INSERT INTO kept_runs (run_id, pruned, length_seconds) VALUES (1, 7, 60)"});
    const auto store = open();
    ASSERT_TRUE(store);
    const auto kept = store->keptFigures(1);
    ASSERT_TRUE(kept.found());
    EXPECT_TRUE(kept->samplesPruned);
    EXPECT_EQ(kept->version, 1);
    EXPECT_EQ(kept->kept, 7);
    EXPECT_EQ(kept->lengthSeconds, 60);
}

namespace {

// Samples compared field by field, each value to the bit as it went in.
void expectSame(const std::vector<RunSample>& got, const std::vector<RunSample>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].time, want[i].time);
        EXPECT_EQ(got[i].zone, want[i].zone);
        EXPECT_EQ(got[i].pv, want[i].pv);
        EXPECT_EQ(got[i].sv, want[i].sv);
        EXPECT_EQ(got[i].output, want[i].output);
        EXPECT_EQ(got[i].planSv, want[i].planSv);
    }
}

std::optional<double> valueOf(const QSqlQuery& q, int column) {
    if (q.value(column).isNull()) return std::nullopt;
    return q.value(column).toDouble();
}

} // namespace

TEST_F(Store, AStoreOfVersion4HasEverySampleOfEveryRunReadBackAsItHeldThem) {
    ASSERT_TRUE(open());
    // Version 4 held every sample as a row: two runs, one of more samples
    // than a block holds, some values missing.
    sql({"DROP TABLE sample_blocks", "DROP TABLE mark_requests",
         "ALTER TABLE runs DROP COLUMN continue_requested", "ALTER TABLE zones DROP COLUMN unit",
         "ALTER TABLE zones DROP COLUMN device", kNoChains[0], kNoChains[1], kNoChains[2],
         "PRAGMA user_version=4",
         "INSERT INTO runs (program_name, program_text, phase, opened) VALUES ('A', '', "
         "'ended', 5)",
         "INSERT INTO runs (program_name, program_text, phase, opened) VALUES ('B', '', "
         "'running', 6)",
         "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 9999) "
         "INSERT INTO samples SELECT 1, 1.7e9 + (i / 3) * 0.7 + 0.1, i % 3, i * 0.1 - 3.3, "
         "CASE WHEN i % 7 = 0 THEN NULL ELSE 1000.0 / (i + 1) END, "
         "CASE WHEN i % 3 = 0 THEN NULL ELSE i % 101 END, i * 1e-3 FROM n",
         "INSERT INTO samples VALUES (2, 10.5, 1, 20.25, NULL, NULL, 21), "
         "(2, 10.5, 0, 19.75, 18, 0, NULL), (2, 9.5, 0, -0.5, 1e300, 5e-324, 2)"});
    std::map<long long, std::vector<RunSample>> held;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(QString::fromStdString(path));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("SELECT run_id, time, zone, pv, sv, output, plan_sv FROM samples "
                           "ORDER BY run_id, time, zone"));
        while (q.next())
            held[q.value(0).toLongLong()].push_back(
                RunSample{q.value(1).toDouble(), q.value(2).toInt(), valueOf(q, 3), valueOf(q, 4),
                          valueOf(q, 5), valueOf(q, 6)});
        db.close();
    }
    QSqlDatabase::removeDatabase("other");
    ASSERT_EQ(held[1].size(), 10000u);
    ASSERT_EQ(held[2].size(), 3u);

    // A reader reads it as it is, and leaves it at version 4.
    const std::string before = bytes();
    {
        const auto reader = openToRead();
        ASSERT_TRUE(reader);
        expectSame(*reader->samples(1), held[1]);
        expectSame(*reader->samples(2), held[2]);
        EXPECT_EQ(reader->load(2)->state.programName, "B");
    }
    EXPECT_TRUE(bytes() == before) << "the file was changed";
    EXPECT_EQ(value("PRAGMA user_version"), 4);
    sql({"PRAGMA user_version=3"});
    EXPECT_EQ(refusal(RunStore::Use::read),
              path +
                  " is a run store of version 3, which this q7 reads once it is brought up to "
                  "version " +
                  std::to_string(kRunStoreVersion) +
                  " by what records a run (q7 run) or prunes one (q7 runs prune); it is left as "
                  "it is");
    sql({"PRAGMA user_version=4"});

    auto store = open();
    ASSERT_TRUE(store);
    expectSame(*store->samples(1), held[1]);
    expectSame(*store->samples(2), held[2]);
    // They were packed as the store was brought up, not left as rows.
    store.reset();
    sql({"DELETE FROM samples"});
    store = open();
    expectSame(*store->samples(1), held[1]);
    expectSame(*store->samples(2), held[2]);
}

TEST_F(Store, SamplesRecordedPastABlockReadBackByTimeAndZoneAndArePrunedWithTheirBlocks) {
    auto store = open();
    ASSERT_TRUE(store);
    RunState st;
    st.programName = "Long";
    st.opened = 100;
    st.zones = {{"COM1", 1, 0, {}, {}, {}, {}}, {"COM1", 2, 0, {}, {}, {}, {}}};
    const auto id = store->create(st, std::nullopt, nullptr);
    ASSERT_TRUE(id);
    std::vector<RunSample> recorded;
    RunUpdate u{st, {}, {}, false};
    const auto poll = [&](double time, int n) {
        u.samples.clear();
        // Zone 1 first, as no one relies on: the store gives them by zone.
        for (int zone : {1, 0}) {
            RunSample s{time, zone, 20 + n * 0.3 + zone, std::nullopt, n % 5 * 1.5, 500.0 / 3};
            if (n % 4 == 0) s.pv.reset();
            if (n % 6 == 0) s.sv = -double(n);
            u.samples.push_back(s);
            recorded.push_back(s);
        }
        ASSERT_TRUE(store->record(*id, u, nullptr));
    };
    for (int n = 0; n < 2500; ++n)
        poll(1000 + n, n);
    // The clock stepped back past samples already packed.
    for (int n = 0; n < 3; ++n)
        poll(1500.5 + n, n);
    std::stable_sort(recorded.begin(), recorded.end(), [](const RunSample& a, const RunSample& b) {
        return a.time < b.time || (a.time == b.time && a.zone < b.zone);
    });
    expectSame(*store->samples(*id), recorded);
    store = open();
    ASSERT_TRUE(store);
    expectSame(*store->samples(*id), recorded);

    st.phase = RunPhase::ended;
    st.outcome = RunOutcome::completed;
    st.ended = 4000;
    ASSERT_TRUE(store->record(*id, RunUpdate{st, {}, {}, true}, nullptr));
    std::string why;
    ASSERT_TRUE(store->pruneSamples(*id, KeptFigures{}, &why)) << why;
    EXPECT_TRUE(store->samples(*id)->empty());
}

TEST_F(Store, ALinkIsReadWhereItPointsAndOnlyAWriterSetsTheLinkItselfAside) {
    const std::string elsewhere = dir + "/elsewhere";
    std::filesystem::create_directory(elsewhere);
    const std::string notes = elsewhere + "/notes.txt";
    std::ofstream(notes) << "runs, as a text\n";
    std::filesystem::create_symlink(notes, path);
    const auto notesNow = [&] {
        std::ifstream in(notes);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // Read or changed, it is refused and left as it is.
    EXPECT_EQ(refusal(RunStore::Use::read),
              path + " is not a run store (file is not a database); it is left as it is");
    EXPECT_EQ(refusal(RunStore::Use::change),
              path + " is damaged (file is not a database); it is left as it is");
    EXPECT_EQ(notesNow(), "runs, as a text\n");
    EXPECT_TRUE(std::filesystem::is_symlink(path));

    // A run recorded sets the link aside, never the file it names.
    const auto store = open();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->notice(), path + " is damaged (file is not a database): it is kept as " +
                                   path + ".damaged-1, and a new run store is started");
    EXPECT_TRUE(std::filesystem::is_symlink(path + ".damaged-1"));
    EXPECT_EQ(std::filesystem::read_symlink(path + ".damaged-1"), notes);
    EXPECT_EQ(notesNow(), "runs, as a text\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(elsewhere),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(std::filesystem::is_symlink(path));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

TEST_F(Store, DamageIsToldAsDamageAndAReadThatMeetsItFailsInsteadOfReadingAsNothing) {
    long long id = 0;
    {
        const auto store = open();
        ASSERT_TRUE(store);
        RunState st;
        st.programName = "Glaze";
        st.opened = 100;
        st.zones = {{"COM1", 1, 0, {}, {}, "", {}}};
        id = store->create(st, std::nullopt, nullptr).value_or(0);
        RunUpdate u{st, {}, {}, true};
        for (int n = 0; n < 50; ++n) {
            u.samples = {RunSample{100.0 + n, 0, 20.0 + n, 20.0 + n, 50, 20.0 + n}};
            u.events = {RunEvent{100.0 + n, std::nullopt, EventKind::other, 0, "mark"}};
            ASSERT_TRUE(store->record(id, u, nullptr));
        }
    }
    ASSERT_FALSE(std::filesystem::exists(path + "-wal")); // all in the file itself
    const std::string sound = bytes();

    // A version number no store has, in its header: damage, not a newer q7's store.
    const std::string version = overwrite(60, "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(refusal(RunStore::Use::read), path + " is damaged (its header gives version -1, "
                                                   "which no run store has); it is left as it is");
    overwrite(60, std::string("\x7F\x00\x00\x00", 4));
    EXPECT_EQ(refusal(RunStore::Use::change).find(path + " is damaged (its header gives version "),
              0u);
    overwrite(60, version);
    ASSERT_TRUE(bytes() == sound);

    // A page of a table that no longer reads is found as the store opens.
    const long long events = pageOf("events"), samples = pageOf("samples");
    const std::string eventsPage = overwrite(events, "\xFF"),
                      samplesPage = overwrite(samples, "\xFF");
    const std::string damaged = bytes();
    EXPECT_EQ(refusal(RunStore::Use::read).find(path + " is damaged ("), 0u)
        << refusal(RunStore::Use::read);
    EXPECT_TRUE(bytes() == damaged) << "the file was changed";
    overwrite(events, eventsPage);
    overwrite(samples, samplesPage);
    ASSERT_TRUE(bytes() == sound);

    // Met by a reader that opened before it: the reads of those tables fail.
    const auto reader = openToRead();
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->events(id)->size(), 50u);
    overwrite(events, "\xFF");
    overwrite(samples, "\xFF");
    // Another process's commit, so the reader reads the file afresh.
    sql({"UPDATE runs SET pause_reason = 'x'"});
    const auto e = reader->events(id);
    ASSERT_TRUE(e.failed());
    EXPECT_EQ(e.why().find(path + " is damaged ("), 0u) << e.why();
    const auto s = reader->samples(id);
    ASSERT_TRUE(s.failed());
    EXPECT_EQ(s.why().find(path + " is damaged ("), 0u) << s.why();
    EXPECT_EQ(reader->load(id)->state.pauseReason, "x"); // what still reads, reads
}

// A run that ends once its disk is full: the store cannot take the end, the
// file beside it has it, and whatever reads the store takes the run as ended
// until the next writer puts the end in.
TEST_F(Store, AnEndTheFullStoreCouldNotTakeIsKeptBesideItAndHonoured) {
    const SmallDisk disk(dir + "/disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    path = dir + "/disk/runs.sqlite";
    VirtualClock clock;
    auto kiln = std::make_shared<FakeKiln>();
    kiln->facts = {TemperatureUnit::celsius, 1, 0, 1200, false, 0};
    auto store = open();
    ASSERT_TRUE(store);
    RunRecorder recorder(*store);
    auto engine = engineFor(kiln, nullptr);
    engine->addListener(&recorder);
    ASSERT_EQ(engine->open(), "");
    for (int i = 0; i < 400 && !engine->ended(); ++i, clock.advance(1)) {
        if (i == 20) disk.fill();
        engine->tick();
    }
    ASSERT_TRUE(engine->ended());
    EXPECT_TRUE(recorder.endKeptAside());
    EXPECT_NE(recorder.problem().find("database or disk is full"), std::string::npos)
        << recorder.problem();
    const long long id = recorder.runId().value();
    EXPECT_TRUE(store->unfinished()->empty());
    const auto run = store->load(id);
    EXPECT_EQ(run->state.phase, RunPhase::ended);
    EXPECT_EQ(run->state.outcome, RunOutcome::completed);
    const RunEvent end = store->events(id)->back();
    EXPECT_EQ(end.kind, EventKind::end);
    EXPECT_EQ(end.text.rfind("completed; ", 0), 0u) << end.text;
    store.reset();

    ASSERT_TRUE(disk.free());
    store = open();
    ASSERT_TRUE(store);
    EXPECT_TRUE(EndJournal(path + "-ended").ends().empty());
    EXPECT_EQ(store->load(id)->state.outcome, RunOutcome::completed);
    EXPECT_TRUE(store->unfinished()->empty());
}

// The claim a new run makes on its controllers, in the transaction that
// records it: a gateway by its endpoint (whatever the scheme and the host's
// case), a serial device by the node its name leads to.
TEST_F(Store, AControllerIsOneUnfinishedRunsWhateverItsDeviceIsCalled) {
    auto store = open();
    ASSERT_TRUE(store);
    std::ofstream(dir + "/ttyUSB0").put('\n');
    std::filesystem::create_symlink(dir + "/ttyUSB0", dir + "/usb-FTDI_A50285BI-if00");
    const auto runOn = [&](const std::string& port, int id) {
        RunState st;
        st.programName = "Glaze";
        st.zones = {{port, id, 0, {}, {}, {}, {}}};
        std::string why;
        const auto created = store->create(st, std::nullopt, &why);
        return created ? "" : why;
    };
    EXPECT_EQ(runOn("tcp://Gateway.local:502", 1), "");
    EXPECT_EQ(runOn("rtu+tcp://gateway.local:502", 1),
              "run 1 (Glaze) holds tcp://Gateway.local:502 id 1 (tcp://gateway.local:502) already");
    EXPECT_EQ(runOn("tcp://gateway.local:502", 2), "");
    EXPECT_EQ(runOn(dir + "/usb-FTDI_A50285BI-if00", 1), "");
    EXPECT_NE(runOn(dir + "/ttyUSB0", 1).find("run 3 (Glaze) holds "), std::string::npos);
    // An ended run holds nothing.
    RunState ended;
    ended.phase = RunPhase::ended;
    ended.outcome = RunOutcome::completed;
    ASSERT_TRUE(store->record(1, RunUpdate{ended, {}, {}, true}, nullptr));
    EXPECT_EQ(runOn("tcp://GATEWAY.local:502", 1), "");
}

TEST_F(Store, AChangeAskedOfARunIsReadBackWithItsValueAndAFullRateWithNone) {
    auto store = open();
    ASSERT_TRUE(store);
    RunState st;
    st.programName = "Glaze";
    st.zones = {{"COM1", 1, 0, {}, {}, {}, {}}};
    std::string why;
    const auto id = store->create(st, std::nullopt, &why);
    ASSERT_TRUE(id) << why;
    using Change = RunStore::Change;
    for (const RunStore::ChangeAsked& c :
         {RunStore::ChangeAsked{0, 0, Change::extend, -600, "a", std::nullopt},
          RunStore::ChangeAsked{0, 0, Change::target, 0, "b", 1040.5},
          RunStore::ChangeAsked{0, 0, Change::rate, 0, "c", std::nullopt}})
        ASSERT_TRUE(store->requestChange(*id, 1, c, &why)) << why;
    const auto asked = store->changesAsked(*id);
    ASSERT_FALSE(asked.failed());
    ASSERT_EQ(asked->size(), 3u);
    EXPECT_EQ((*asked)[0].seconds, -600);
    EXPECT_EQ((*asked)[1].change, Change::target);
    EXPECT_EQ((*asked)[1].value, 1040.5);
    EXPECT_EQ((*asked)[2].change, Change::rate);
    EXPECT_EQ((*asked)[2].value, std::nullopt); // full
    EXPECT_EQ((*asked)[2].who, "c");
}
