// Opening the run store: the file checked, its schema version read before
// anything can change it, and an older schema brought up to this one's.
#include "base/atomic_file.h"
#include "base/number_text.h"
#include "runs/run_store_impl.h"

#include <QUuid>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Each step takes the schema from the version before it to its own
// (kMigrations[0] makes version 1 from an empty file). A new version adds a
// step; a step already shipped never changes.
const char* const kVersion1[] = {
    "CREATE TABLE runs ("
    " id INTEGER PRIMARY KEY,"
    " program_name TEXT NOT NULL,"
    " program_text TEXT NOT NULL,"
    // 'program': a firing program run from the PC; 'steps': the
    // controller's own step program, its table as program_text.
    " kind TEXT NOT NULL DEFAULT 'program' CHECK (kind IN ('program', 'steps')),"
    " phase TEXT NOT NULL CHECK (phase IN ('waiting', 'running', 'paused', 'ended')),"
    " outcome TEXT CHECK (outcome IN ('completed', 'stopped', 'failed', 'resumed')),"
    " opened REAL NOT NULL," // times are Unix seconds
    " start_at REAL,"
    " started REAL,"
    " ended REAL,"
    " resumed_from INTEGER REFERENCES runs(id),"
    " time_scale REAL NOT NULL DEFAULT 1,"
    " writes INTEGER NOT NULL DEFAULT 0,"
    " writes_per_hour REAL NOT NULL DEFAULT 0,"
    " segment INTEGER NOT NULL DEFAULT 0," // counted from 0
    // Where the plan began (segment, the SV its ramp starts from, hold
    // already done), and how far along it the plan clock stands.
    " plan_segment INTEGER NOT NULL DEFAULT 0,"
    " plan_from_sv REAL NOT NULL DEFAULT 0,"
    " plan_hold_done REAL NOT NULL DEFAULT 0,"
    " plan_clock REAL NOT NULL DEFAULT 0,"
    " pause_reason TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE zones ("
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " zone INTEGER NOT NULL,"
    " port TEXT NOT NULL,"
    " controller_id INTEGER NOT NULL,"
    " zone_offset REAL NOT NULL DEFAULT 0,"
    " last_written REAL,"
    " ramp_rate_before REAL,"
    " PRIMARY KEY (run_id, zone))",
    "CREATE TABLE samples ("
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " time REAL NOT NULL,"
    " zone INTEGER NOT NULL,"
    " pv REAL, sv REAL, output REAL, plan_sv REAL)",
    "CREATE INDEX samples_by_run ON samples(run_id, time)",
    "CREATE TABLE events ("
    " id INTEGER PRIMARY KEY,"
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " time REAL NOT NULL,"
    " zone INTEGER,"
    " kind TEXT NOT NULL,"
    " segment INTEGER NOT NULL,"
    " text TEXT NOT NULL)",
    "CREATE INDEX events_by_run ON events(run_id, id)",
};

// Who drives a run now: the process's pid and what tells it from a later
// process with the same pid (run_driver.h), and when another process asked
// it to stop the run.
const char* const kVersion2[] = {
    "ALTER TABLE runs ADD COLUMN driver_pid INTEGER",
    "ALTER TABLE runs ADD COLUMN driver_token TEXT",
    "ALTER TABLE runs ADD COLUMN stop_requested REAL",
};

// What is kept of a run whose samples were pruned: when, its length and
// its figures per segment, as history/ computed them from the samples.
const char* const kVersion3[] = {
    "CREATE TABLE kept_runs ("
    " run_id INTEGER PRIMARY KEY REFERENCES runs(id) ON DELETE CASCADE,"
    " pruned REAL NOT NULL,"
    " length_seconds REAL)",
    "CREATE TABLE kept_segments ("
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL," // in the run's order, from 0
    " segment INTEGER NOT NULL,"
    " ramp INTEGER NOT NULL,"
    " finished INTEGER NOT NULL,"
    " planned REAL NOT NULL,"
    " planned_hold REAL NOT NULL,"
    " actual REAL NOT NULL,"
    " paused REAL NOT NULL,"
    " held_back REAL NOT NULL,"
    " largest_deviation REAL,"
    " mean_deviation REAL,"
    " ramp_seconds REAL,"
    " rate_reached REAL,"
    " PRIMARY KEY (run_id, position))",
    // A run's samples are read by time and zone: the index gives them in
    // that order, where SQLite would otherwise sort a long run's every time.
    "CREATE INDEX samples_by_run_time_zone ON samples(run_id, time, zone)",
    "DROP INDEX samples_by_run",
};

// Every ended run's figures are kept, not only a pruned run's: whether its
// samples were pruned, and the version of the computation that made them
// (the figures kept before were all pruned runs', of its first version).
// kept_runs.pruned is when they were kept.
const char* const kVersion4[] = {
    "ALTER TABLE kept_runs ADD COLUMN samples_pruned INTEGER NOT NULL DEFAULT 1",
    "ALTER TABLE kept_runs ADD COLUMN figures_version INTEGER NOT NULL DEFAULT 1",
};

// A run's samples packed in blocks (run_store_blocks.cpp), each block's in
// order by time and zone, the blocks in the order they were packed; the
// samples table holds those recorded since. Every run's rows are packed as
// the store is brought up, in the same transaction.
const char* const kVersion5[] = {
    "CREATE TABLE sample_blocks ("
    " id INTEGER PRIMARY KEY,"
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " first_time REAL NOT NULL," // of its first sample and its last
    " last_time REAL NOT NULL,"
    " samples INTEGER NOT NULL,"
    " data BLOB NOT NULL)",
    "CREATE INDEX sample_blocks_by_run ON sample_blocks(run_id, id)",
};

// Each zone's device (run_device.h): a COM number names another device in
// another folder or with another --com. A zone of an earlier store that was
// named by its number has none recorded; one the bridge recorded was named
// by its device, which is its device.
const char* const kVersion6[] = {
    "ALTER TABLE zones ADD COLUMN device TEXT",
    "UPDATE zones SET device = port WHERE port NOT GLOB 'COM[0-9]*'",
};

struct Migration {
    const char* const* statements;
    std::size_t count;
    // What SQL alone cannot do, after the statements; may be null.
    bool (RunStore::Impl::*then)(std::string* why);
};
const Migration kMigrations[] = {
    {kVersion1, std::size(kVersion1), nullptr},
    {kVersion2, std::size(kVersion2), nullptr},
    {kVersion3, std::size(kVersion3), nullptr},
    {kVersion4, std::size(kVersion4), nullptr},
    {kVersion5, std::size(kVersion5), &RunStore::Impl::packAllSamples},
    {kVersion6, std::size(kVersion6), nullptr}};
static_assert(std::size(kMigrations) == kRunStoreVersion, "one step per version");

// SQLite's own codes for a file whose bytes are not (or no longer) a
// database: what a torn write, a bad disk or a stray copy leaves.
bool damage(const QSqlError& e) {
    const QString code = e.nativeErrorCode();
    return code == "26" || code == "11"; // SQLITE_NOTADB, SQLITE_CORRUPT
}

// Qt keeps its connections in one list for the process, by name: each
// store's own, never reused, so two threads' stores never share one.
QString newConnectionName() {
    return "q7-runs-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

std::optional<int> userVersion(QSqlDatabase& db, std::string* why, bool* damaged = nullptr) {
    QSqlQuery q(db);
    if (!q.exec("PRAGMA user_version") || !q.next()) {
        const bool broken = damage(q.lastError());
        // SQLite's own words say what is wrong with the file; Qt's add nothing.
        *why = broken ? q.lastError().databaseText().toStdString() : sqlText(q.lastError());
        if (damaged) *damaged = broken;
        return std::nullopt;
    }
    return q.value(0).toInt();
}

std::string newerStore(const std::string& path, int version) {
    return path + " is a run store of version " + formatWhole(version) +
           ", made by a newer q7; this one knows up to version " + formatWhole(kRunStoreVersion) +
           " and leaves the file as it is";
}

// A file of version 0 is only taken when it is empty: a database of
// something else is nobody's run store. Empty when it is.
std::string notEmpty(QSqlDatabase& db, const std::string& path) {
    QSqlQuery q(db);
    if (q.exec("SELECT count(*) FROM sqlite_master") && q.next() && q.value(0).toInt() == 0)
        return "";
    return path + " holds a database that is not a run store; it is left as it is";
}

// The version of an existing store, read without writing to it. *damaged:
// the file is no database at all, or a damaged one.
std::string checkVersion(const std::string& file, const std::string& path, bool* damaged) {
    const QString name = newConnectionName();
    std::string why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(QString::fromStdString(file));
        db.setConnectOptions("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
        if (!db.open()) {
            *damaged = damage(db.lastError());
            why = path + (*damaged
                              ? " is damaged (" + db.lastError().databaseText().toStdString() + ")"
                              : " cannot be opened: " + sqlText(db.lastError()));
        } else if (const auto v = userVersion(db, &why, damaged)) {
            if (*v > kRunStoreVersion) why = newerStore(path, *v);
            if (*v == 0) why = notEmpty(db, path);
            // A store whose tables no longer read is damaged as well.
            QSqlQuery q(db);
            if (why.empty() && *v > 0 && !q.exec("SELECT count(*) FROM runs")) {
                why = path + " is damaged (" + q.lastError().databaseText().toStdString() + ")";
                *damaged = damage(q.lastError());
            }
        } else {
            why = path + (*damaged ? " is damaged (" : " is not a run store (") + why + ")";
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return why;
}

} // namespace

RunStore::Impl::~Impl() {
    insertSample.reset();
    insertEvent.reset();
    updateRun.reset();
    updateZone.reset();
    if (db.isValid()) db.close();
    db = QSqlDatabase();
    if (!connection.isEmpty()) QSqlDatabase::removeDatabase(connection);
}

bool RunStore::Impl::exec(const QString& sql, std::string* why) {
    QSqlQuery q(db);
    if (q.exec(sql)) return true;
    if (why) *why = sqlText(q.lastError());
    return false;
}

namespace {

// The file a damaged store is kept as: beside it, under a name no file has.
std::string keepAside(const std::string& file, std::string* why) {
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = file + ".damaged-" + formatWhole(n);
        // A hard link never replaces a file: taken names are skipped.
        if (::link(file.c_str(), aside.c_str()) != 0) {
            if (errno == EEXIST) continue;
            *why = std::strerror(errno);
            return "";
        }
        // Its journal belongs to it, and must not be read into the new store.
        for (const char* part : {"-wal", "-shm"})
            if (::link((file + part).c_str(), (aside + part).c_str()) == 0)
                ::unlink((file + part).c_str());
        ::unlink(file.c_str());
        return aside;
    }
    *why = "too many damaged stores are kept beside it";
    return "";
}

} // namespace

std::variant<std::unique_ptr<RunStore>, std::string> RunStore::open(const std::string& path) {
    // A link is followed to the store it names, so its -wal file sits beside
    // the store and not beside the link.
    const OutputTarget target = outputTarget(path);
    if (!target.refusal.empty()) return target.refusal;
    std::string notice;
    if (target.exists && target.st.st_size > 0) {
        bool damaged = false;
        if (std::string why = checkVersion(target.file, path, &damaged); !why.empty()) {
            if (!damaged) return why;
            // The runs recorded from now on matter more than a file that no
            // longer reads: it is kept, never written, and a new store begins.
            std::string failure;
            const std::string aside = keepAside(target.file, &failure);
            if (aside.empty()) return why + "; it cannot be kept aside: " + failure;
            notice = why + ": it is kept as " + aside + ", and a new run store is started";
        }
    }

    auto impl = std::make_unique<Impl>();
    impl->path = path;
    impl->connection = newConnectionName();
    impl->db = QSqlDatabase::addDatabase("QSQLITE", impl->connection);
    impl->db.setDatabaseName(QString::fromStdString(target.file));
    // Another program writing the store is waited for, a while.
    impl->db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=5000");
    if (!impl->db.open()) return path + " cannot be opened: " + sqlText(impl->db.lastError());
    std::string why;
    if (!impl->exec("PRAGMA synchronous=NORMAL", &why) ||
        !impl->exec("PRAGMA foreign_keys=ON", &why))
        return path + " cannot be used: " + why;
    // The version is read again inside the transaction that upgrades it:
    // another program may have upgraded it meanwhile.
    if (!impl->exec("BEGIN IMMEDIATE", &why)) return path + " cannot be used: " + why;
    const auto version = userVersion(impl->db, &why);
    const auto abandon = [&](const std::string& text) {
        impl->exec("ROLLBACK", nullptr);
        return text;
    };
    if (!version) return abandon(path + " is not a run store (" + why + ")");
    if (*version > kRunStoreVersion) return abandon(newerStore(path, *version));
    if (*version == 0)
        if (std::string refused = notEmpty(impl->db, path); !refused.empty())
            return abandon(refused);
    for (int v = *version; v < kRunStoreVersion; ++v) {
        const Migration& step = kMigrations[v];
        bool ok = true;
        for (std::size_t i = 0; ok && i < step.count; ++i)
            ok = impl->exec(step.statements[i], &why);
        if (ok && step.then) ok = (impl.get()->*step.then)(&why);
        if (!ok)
            return abandon(path + " could not be brought to version " +
                           formatWhole(kRunStoreVersion) + ": " + why);
    }
    if (!impl->exec(QString("PRAGMA user_version=%1").arg(kRunStoreVersion), &why) ||
        !impl->exec("COMMIT", &why))
        return abandon(path + " could not be brought to version " + formatWhole(kRunStoreVersion) +
                       ": " + why);
    // Only now, on a store known to be ours: the journal mode is kept in the file.
    if (!impl->exec("PRAGMA journal_mode=WAL", &why)) return path + " cannot be used: " + why;
    if (!impl->prepare()) return path + " cannot be used: " + sqlText(impl->db.lastError());
    impl->notice = notice;
    auto store = std::unique_ptr<RunStore>(new RunStore(std::move(impl)));
    // The ends a full disk kept out of it go in now that it can be written.
    store->settleEnds();
    return store;
}
