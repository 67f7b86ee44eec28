#pragma once
// The run store's connection and its prepared statements, shared by the
// files that open it (run_store_schema.cpp) and use it (run_store.cpp).
#include "runs/run_end_journal.h"
#include "runs/run_store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>

struct sqlite3;

// The version from which each zone has its device (run_device.h).
inline constexpr int kZoneDeviceSince = 6;
// The version from which each zone has its controller's unit.
inline constexpr int kZoneUnitSince = 7;
// The version from which each run's record is chained (run_store_chain.cpp).
inline constexpr int kChainSince = 11;

struct RunStore::Impl {
    QString connection;
    std::string path;
    std::string notice;
    RunStore::Use use = RunStore::Use::record;
    bool snapshot = false;
    // The schema's version as it was opened: a reader's may be older.
    int version = kRunStoreVersion;
    QSqlDatabase db;
    std::optional<QSqlQuery> insertSample, insertEvent, updateRun, updateZone;

    // Samples packed into one block (run_store_blocks.cpp): a few minutes
    // of a run of several zones polled every second.
    static constexpr std::size_t kSamplesPerBlock = 4096;
    // The samples each run has as rows, not yet packed, as far as this
    // connection knows; counted afresh for a run it has not written yet.
    std::unordered_map<long long, std::size_t> tails;

    ~Impl();
    // Runs sql; false, with why, when it fails.
    bool exec(const QString& sql, std::string* why);
    bool prepare();
    // The store's own SQLite connection, under Qt's: Qt's SQLite driver is
    // built on the system's SQLite library, which this program links too.
    sqlite3* handle() const;
    // After `added` samples of run id went in as rows: packs its rows into
    // blocks once there are a block's worth. Inside the caller's transaction.
    bool addedSamples(long long id, std::size_t added, std::string* why);
    // Packs every row of run id into blocks, in the caller's transaction.
    bool packSamples(long long id, std::string* why);
    // The same for every run: a store of version 4 held only rows.
    bool packAllSamples(std::string* why);

    // Every sample of the run, as a reader reads them; nothing when they
    // do not read.
    std::optional<std::vector<RunSample>> allSamples(long long id);

    // The run's chain (run_store_chain.cpp), each inside the caller's
    // transaction: a link for one poll's samples, one for an event as its
    // row holds it, the end with the seal written beside it, what a prune
    // kept; and every run's chain made as a store is brought up.
    bool chainSamples(long long id, const std::vector<RunSample>& samples, std::string* why);
    bool chainEvent(long long id, long long event, std::string* why);
    bool sealRun(long long id, std::string* why);
    bool chainPruned(long long id, std::string* why);
    bool chainAllRuns(std::string* why);

    // The ends kept beside the store (run_store_ends.cpp), by run.
    std::map<long long, KeptEnd> keptEnds() const;
    // The run as its end kept beside the store has it, where the store
    // lacks the end.
    static void applyKeptEnd(StoredRun& run, const std::map<long long, KeptEnd>& ends);
    // The unfinished firing run, other than except, with a zone on the device
    // of one of zones and its id: what it holds, else empty.
    std::string heldZone(const std::vector<ZoneState>& zones, std::optional<long long> except);
    // Why a read failed, naming damage as damage.
    StoreFailure failed(const QSqlError& e) const;
    StoreFailure failed(sqlite3* db) const;
};

// SQLite's own codes for a file whose bytes are not (or no longer) a
// database, or a page of it that no longer reads: what a torn write, a bad
// disk or a stray copy leaves. Extended codes count as their primary one.
bool damageCode(int code);

inline std::string sqlText(const QSqlError& e) {
    const QString text = e.text().trimmed();
    return text.isEmpty() ? std::string("unknown error") : text.toStdString();
}

// One transaction; synced to the disk when durable. The statements run in
// `body`, which says why it failed.
template <class Body>
bool transaction(RunStore::Impl& s, bool durable, std::string* why, Body body) {
    std::string failure;
    if (s.use == RunStore::Use::read) {
        if (why) *why = s.path + " was opened to read; nothing is written to it";
        return false;
    }
    // The sync level cannot change inside a transaction.
    if (durable && !s.exec("PRAGMA synchronous=FULL", &failure)) {
        if (why) *why = s.path + ": " + failure;
        return false;
    }
    bool ok = s.exec("BEGIN IMMEDIATE", &failure);
    if (ok && !body(failure)) {
        ok = false;
        s.exec("ROLLBACK", nullptr);
    } else if (ok && !s.exec("COMMIT", &failure)) {
        ok = false;
        s.exec("ROLLBACK", nullptr);
    }
    if (durable) s.exec("PRAGMA synchronous=NORMAL", nullptr);
    if (!ok && why) *why = s.path + ": " + failure;
    return ok;
}

// A value, or SQL's NULL for none.
inline QVariant orNull(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<double>());
}
inline QVariant orNull(const std::optional<int>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType::fromType<int>());
}
inline std::optional<double> realOrNone(const QVariant& v) {
    if (v.isNull()) return std::nullopt;
    return v.toDouble();
}
