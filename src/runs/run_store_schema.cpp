// Opening the run store: the file checked, its schema version read before
// anything can change it, and an older schema brought up to this one's by
// a writer; a reader's opening, which changes nothing.
#include "base/atomic_file.h"
#include "base/number_text.h"
#include "runs/run_store_impl.h"

#include <QUuid>

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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
    // Where the plan began (its step in the run order: the segment, or
    // with a repeat the segment in its cycle; the SV its ramp starts from,
    // hold already done), and how far along it the plan clock stands.
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

// The unit each zone's controller showed ('C' or 'F'), which its samples,
// last SV written and ramp rate are in: a program in one unit may drive a
// controller in the other. A zone of an earlier store has none recorded.
const char* const kVersion7[] = {
    "ALTER TABLE zones ADD COLUMN unit TEXT CHECK (unit IN ('C', 'F'))",
};

// When another process asked the driver of a paused run to go on with it
// (`q7 run --continue`), as stop_requested asks it to end.
const char* const kVersion8[] = {
    "ALTER TABLE runs ADD COLUMN continue_requested REAL",
};

// Marks another process asked the run's driver to record (`q7 run
// --mark`): asked, and when the driver took it into the run's events.
const char* const kVersion9[] = {
    "CREATE TABLE mark_requests ("
    " id INTEGER PRIMARY KEY,"
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " asked REAL NOT NULL,"
    " text TEXT NOT NULL,"
    " taken REAL)",
};

// Live changes another process asked of the run's driver (`q7 run --skip`,
// `--extend`, `--target`, `--rate`, its number in seconds): asked, by whom, and when the driver
// took it, done or refused with why. A store that lost the table to a damaged step gets it again.
const char* const kVersion10[] = {
    "CREATE TABLE IF NOT EXISTS change_requests ("
    " id INTEGER PRIMARY KEY,"
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " asked REAL NOT NULL,"
    " kind TEXT NOT NULL,"
    " seconds REAL NOT NULL DEFAULT 0,"
    " who TEXT NOT NULL,"
    " taken REAL,"
    " refused TEXT)",
};

// Each run's samples and events chained by SHA-256 (run_chain.h): its
// links, its seal once it ended, and whether its chain was made as it was
// recorded or as the store was brought up to this version, which chains
// every run it holds (run_store_chain.cpp).
const char* const kVersion11[] = {
    "CREATE TABLE chain_links ("
    " run_id INTEGER NOT NULL REFERENCES runs(id) ON DELETE CASCADE,"
    " position INTEGER NOT NULL," // from 0
    " kind TEXT NOT NULL CHECK (kind IN ('samples', 'event', 'end', 'pruned')),"
    " event_id INTEGER," // an event's
    " first_time REAL,"  // the times of the samples it covers, or the end's
    " last_time REAL,"
    " samples INTEGER,"
    " hash BLOB NOT NULL,"
    " PRIMARY KEY (run_id, position))",
    "ALTER TABLE runs ADD COLUMN seal TEXT",
    "ALTER TABLE runs ADD COLUMN chain_since TEXT NOT NULL DEFAULT 'recording' CHECK "
    "(chain_since IN ('recording', 'upgrade'))",
    "UPDATE runs SET chain_since = 'upgrade'",
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
    {kVersion6, std::size(kVersion6), nullptr},
    {kVersion7, std::size(kVersion7), nullptr},
    {kVersion8, std::size(kVersion8), nullptr},
    {kVersion9, std::size(kVersion9), nullptr},
    {kVersion10, std::size(kVersion10), nullptr},
    {kVersion11, std::size(kVersion11), &RunStore::Impl::chainAllRuns},
};
static_assert(std::size(kMigrations) == kRunStoreVersion, "one step per version");

// SQLite's result codes that tell the open and the check apart.
constexpr int kSqliteReadOnly = 8, kSqliteCorrupt = 11, kSqliteNotADatabase = 26;

// Versions go up by one a step, a few steps a year: a number further past
// this one's than this, or below 0, is no newer q7's store but what a
// damaged header reads as.
constexpr int kVersionsAhead = 100;

int nativeCode(const QSqlError& e) {
    bool ok = false;
    const int code = e.nativeErrorCode().toInt(&ok);
    return ok ? code : -1;
}

bool damage(const QSqlError& e) {
    return damageCode(nativeCode(e));
}

// SQLite's own words say what is wrong with the file; Qt's add nothing.
std::string sqliteText(const QSqlError& e) {
    const QString text = e.databaseText().trimmed();
    return text.isEmpty() ? sqlText(e) : text.toStdString();
}

// Qt keeps its connections in one list for the process, by name: each
// store's own, never reused, so two threads' stores never share one.
QString newConnectionName() {
    return "q7-runs-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

std::optional<int> userVersion(QSqlDatabase& db, std::string* why) {
    QSqlQuery q(db);
    if (!q.exec("PRAGMA user_version") || !q.next()) {
        *why = sqliteText(q.lastError());
        return std::nullopt;
    }
    return q.value(0).toInt();
}

std::string newerStore(const std::string& path, int version) {
    return path + " is a run store of version " + formatWhole(version) +
           ", made by a newer q7; this one knows up to version " + formatWhole(kRunStoreVersion) +
           " and leaves the file as it is";
}

std::string unlikelyVersion(const std::string& path, int version) {
    return path + " is damaged (its header gives version " + formatWhole(version) +
           ", which no run store has)";
}

// A file of version 0 is only taken when it is empty: a database of
// something else is nobody's run store. Empty when it is.
std::string notEmpty(QSqlDatabase& db, const std::string& path) {
    QSqlQuery q(db);
    if (q.exec("SELECT count(*) FROM sqlite_master") && q.next() && q.value(0).toInt() == 0)
        return "";
    return path + " holds a database that is not a run store; it is left as it is";
}

// What the check of a store as it opens found.
struct Inspection {
    enum class Verdict { sound, damaged, refused } verdict = Verdict::sound;
    std::string why;
    // Damaged: its bytes are no database at all (a stray file, or a header
    // that no longer reads).
    bool noDatabase = false;
    int version = 0; // sound: 0 for a file with nothing in it yet

    static Inspection damaged(std::string why, bool noDatabase = false) {
        return {Verdict::damaged, std::move(why), noDatabase, 0};
    }
    static Inspection refused(std::string why) { return {Verdict::refused, std::move(why)}; }
};

Inspection failedRead(const QSqlError& e, const std::string& path) {
    if (damage(e))
        return Inspection::damaged(path + " is damaged (" + sqliteText(e) + ")",
                                   nativeCode(e) == kSqliteNotADatabase);
    // SQLite makes the shared journal beside the store as it first reads it:
    // a folder that may not be written refuses that.
    if ((nativeCode(e) & 0xff) == kSqliteReadOnly)
        return Inspection::refused(path + " cannot be opened where it may not be written (" +
                                   sqliteText(e) + ")");
    return Inspection::refused(path + " cannot be read: " + sqliteText(e));
}

// The store on an open connection, read and never written: every page
// checked, then its version, then its tables.
Inspection inspect(QSqlDatabase& db, const std::string& path) {
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec("PRAGMA quick_check")) return failedRead(q.lastError(), path);
        if (!q.next()) return failedRead(q.lastError(), path);
        const std::string first = q.value(0).toString().toStdString();
        if (first != "ok") {
            // Its first finding is enough to name it; the rest is for sqlite3.
            std::string found = first;
            if (const auto head = found.find("*** in database main ***\n"); head == 0)
                found.erase(0, std::strlen("*** in database main ***\n"));
            if (const auto nl = found.find('\n'); nl != std::string::npos) found.resize(nl);
            return Inspection::damaged(path + " is damaged (" + found + ")");
        }
    }
    std::optional<int> version;
    {
        QSqlQuery q(db);
        if (!q.exec("PRAGMA user_version") || !q.next()) return failedRead(q.lastError(), path);
        version = q.value(0).toInt();
    }
    if (*version < 0 || *version > kRunStoreVersion + kVersionsAhead)
        return Inspection::damaged(unlikelyVersion(path, *version));
    if (*version > kRunStoreVersion) return Inspection::refused(newerStore(path, *version));
    if (*version == 0) {
        if (std::string refused = notEmpty(db, path); !refused.empty())
            return Inspection::refused(refused);
        return {};
    }
    QSqlQuery q(db);
    if (!q.exec("SELECT count(*) FROM runs") || !q.next()) {
        if (damage(q.lastError())) return failedRead(q.lastError(), path);
        return Inspection::refused(path + " is not a run store (" + sqliteText(q.lastError()) +
                                   "); it is left as it is");
    }
    Inspection sound;
    sound.version = *version;
    return sound;
}

// A store file checked on a connection of its own, opened to read, before
// anything may change it.
Inspection inspectFile(const std::string& file, const std::string& path) {
    const QString name = newConnectionName();
    Inspection found;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(QString::fromStdString(file));
        db.setConnectOptions("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
        found = db.open() ? inspect(db, path) : failedRead(db.lastError(), path);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return found;
}

} // namespace

bool damageCode(int code) {
    return code >= 0 && ((code & 0xff) == kSqliteCorrupt || (code & 0xff) == kSqliteNotADatabase);
}

StoreFailure RunStore::Impl::failed(const QSqlError& e) const {
    if (damage(e)) return {path + " is damaged (" + sqliteText(e) + ")"};
    return {path + " could not be read: " + sqliteText(e)};
}

StoreFailure RunStore::Impl::failed(sqlite3* db) const {
    if (!db) return {path + " could not be read: its SQLite connection cannot be reached"};
    const std::string text = sqlite3_errmsg(db);
    if (damageCode(sqlite3_extended_errcode(db))) return {path + " is damaged (" + text + ")"};
    return {path + " could not be read: " + text};
}

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
// A link is kept as the link, so nothing outside its folder is renamed: the
// file it names, and that file's journal beside it, stay where they are.
std::string keepAside(const std::string& path, std::string* why) {
    struct stat st {};
    const bool link = ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = path + ".damaged-" + formatWhole(n);
        // A hard link never replaces a file: taken names are skipped. Made
        // of a link, it is a second name for the link, never its target's.
        if (::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), 0) != 0) {
            if (errno == EEXIST) continue;
            *why = std::strerror(errno);
            return "";
        }
        // Its journal belongs to it, and must not be read into the new store.
        if (!link)
            for (const char* part : {"-wal", "-shm"})
                if (::link((path + part).c_str(), (aside + part).c_str()) == 0)
                    ::unlink((path + part).c_str());
        ::unlink(path.c_str());
        return aside;
    }
    *why = "too many damaged stores are kept beside it";
    return "";
}

// A path as an SQLite URI's: every byte but the plainest escaped, so a '?'
// or a '#' in a folder's name is read as a name.
std::string uriPath(const std::string& file) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : file) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '.' || c == '_' || c == '-' || c == '~') {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
}

bool mayWrite(const std::string& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string folderOfFile(const std::string& file) {
    const auto slash = file.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

using Opened = std::variant<std::unique_ptr<RunStore>, std::string>;

std::unique_ptr<RunStore::Impl> newImpl(const std::string& path, RunStore::Use use) {
    auto impl = std::make_unique<RunStore::Impl>();
    impl->path = path;
    impl->use = use;
    impl->connection = newConnectionName();
    impl->db = QSqlDatabase::addDatabase("QSQLITE", impl->connection);
    return impl;
}

} // namespace

// Opened to read: SQLite's own read-only mode, which never writes the
// store. A store in WAL mode is read through the -wal journal and its
// shared index (-shm) beside it, which is what lets a reader see a writer's
// commits as they come (the bridge records while the web view reads). The
// index is made as the first connection opens, though, and the last one to
// close removes both; a reader that may not write the folder cannot make
// them, and one that may not write the store would leave them its own, for
// a writer to be refused by later. So where neither is there, no process
// has the store open, and this one may not write it: it is read as an
// immutable file (SQLite's immutable=1), with no journal, no index and no
// lock. What a process begins to record after that is not seen; a reader
// that stays opens it again for each answer.
Opened RunStore::openToRead(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return path + " cannot be read: " + std::string(std::strerror(errno));
    if (const std::string why = notARegularFile(path); !why.empty())
        return path + " cannot be read: " + why + "; it is left as it is";
    // The journal sits beside the file a link names.
    std::string file = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        file = real;
        std::free(real);
    }
    auto impl = newImpl(path, Use::read);
    impl->snapshot = !exists(file + "-wal") && (!mayWrite(file) || !mayWrite(folderOfFile(file)));
    const std::string uri =
        "file:" + uriPath(file) + "?mode=ro" + (impl->snapshot ? "&immutable=1" : "");
    impl->db.setDatabaseName(QString::fromStdString(uri));
    impl->db.setConnectOptions("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000");
    const Inspection found =
        impl->db.open() ? inspect(impl->db, path) : failedRead(impl->db.lastError(), path);
    if (found.verdict == Inspection::Verdict::damaged && found.noDatabase)
        return path + " is not a run store (file is not a database); it is left as it is";
    if (found.verdict == Inspection::Verdict::damaged) return found.why + "; it is left as it is";
    if (found.verdict == Inspection::Verdict::refused) return found.why;
    if (found.version == 0) {
        // Nothing in it yet (a writer is making it): it holds no runs, read
        // as an empty store of this version kept in memory.
        impl->db.close();
        impl->db.setDatabaseName(":memory:");
        impl->db.setConnectOptions("");
        std::string why;
        bool ok = impl->db.open();
        for (const Migration& step : kMigrations)
            for (std::size_t i = 0; ok && i < step.count; ++i)
                ok = impl->exec(step.statements[i], &why);
        if (!ok) return path + " cannot be read: " + why;
        impl->version = kRunStoreVersion;
    } else if (found.version < kRunStoreOldestRead) {
        return path + " is a run store of version " + formatWhole(found.version) +
               ", which this q7 reads once it is brought up to version " +
               formatWhole(kRunStoreVersion) + " by what records a run (q7 run) or prunes one " +
               "(q7 runs prune); it is left as it is";
    } else {
        impl->version = found.version;
    }
    return std::unique_ptr<RunStore>(new RunStore(std::move(impl)));
}

Opened RunStore::open(const std::string& path, Use use) {
    if (use == Use::read) return openToRead(path);
    // A link is followed to the store it names, so its -wal file sits beside
    // the store and not beside the link.
    const OutputTarget target = outputTarget(path);
    if (!target.refusal.empty()) return target.refusal;
    std::string file = target.file;
    std::string notice;
    if (target.exists && target.st.st_size > 0) {
        const Inspection found = inspectFile(target.file, path);
        if (found.verdict == Inspection::Verdict::refused) return found.why;
        if (found.verdict == Inspection::Verdict::damaged) {
            if (use != Use::record) return found.why + "; it is left as it is";
            // The runs recorded from now on matter more than a file that no
            // longer reads: it is kept, never written, and a new store begins
            // where it stood (where the link stood, for a link).
            std::string failure;
            const std::string aside = keepAside(path, &failure);
            if (aside.empty()) return found.why + "; it cannot be kept aside: " + failure;
            notice = found.why + ": it is kept as " + aside + ", and a new run store is started";
            file = path;
        }
    }

    auto impl = newImpl(path, use);
    impl->db.setDatabaseName(QString::fromStdString(file));
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
    if (*version < 0 || *version > kRunStoreVersion + kVersionsAhead)
        return abandon(unlikelyVersion(path, *version) + "; it is left as it is");
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
