// A run's samples in blocks: each poll's samples go into the samples table
// as rows, and once a run has a block's worth of them they are packed into
// one row of sample_blocks, their values in a blob of fixed-width records.
// A day's run of 8 zones is then a few hundred rows rather than hundreds of
// thousands, which SQLite would otherwise step through one at a time each
// time the run is opened. The doubles are kept as their 64 bits, so every
// sample reads back exactly as it was recorded.
#include "runs/run_store_impl.h"

#include <QSqlDriver>

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// time (8 bytes), zone (4), which of the four values are there (1), then
// pv, sv, output and the plan's SV (8 each; 0 where there is none), all
// little-endian.
constexpr std::size_t kRecordBytes = 8 + 4 + 1 + 4 * 8;
// The store's version that began to pack samples: a reader reads an older
// store's rows alone.
constexpr int kBlocksSince = 5;

void putBits(std::string& out, std::uint64_t bits, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((bits >> (8 * i)) & 0xff));
}

std::uint64_t bitsAt(const unsigned char* p, int bytes) {
    std::uint64_t bits = 0;
    for (int i = 0; i < bytes; ++i)
        bits |= std::uint64_t(p[i]) << (8 * i);
    return bits;
}

void encode(std::string& out, const RunSample& s) {
    putBits(out, std::bit_cast<std::uint64_t>(s.time), 8);
    putBits(out, std::uint32_t(s.zone), 4);
    const std::optional<double>* values[] = {&s.pv, &s.sv, &s.output, &s.planSv};
    unsigned mask = 0;
    for (int i = 0; i < 4; ++i)
        if (*values[i]) mask |= 1u << i;
    out.push_back(char(mask));
    for (const auto* v : values)
        putBits(out, std::bit_cast<std::uint64_t>(v->value_or(0.0)), 8);
}

RunSample decode(const unsigned char* p) {
    RunSample s;
    s.time = std::bit_cast<double>(bitsAt(p, 8));
    s.zone = int(std::uint32_t(bitsAt(p + 8, 4)));
    const unsigned mask = p[12];
    std::optional<double>* values[] = {&s.pv, &s.sv, &s.output, &s.planSv};
    for (int i = 0; i < 4; ++i)
        if (mask & (1u << i)) *values[i] = std::bit_cast<double>(bitsAt(p + 13 + 8 * i, 8));
    return s;
}

// A prepared statement, finalized when it goes.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (db && sqlite3_prepare_v2(db, sql, -1, &q_, nullptr) != SQLITE_OK) {
            sqlite3_finalize(q_);
            q_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(q_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return q_ != nullptr; }
    sqlite3_stmt* operator*() const { return q_; }

  private:
    sqlite3_stmt* q_ = nullptr;
};

std::string failure(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "the store's SQLite connection cannot be reached";
}

std::optional<double> real(sqlite3_stmt* q, int column) {
    if (sqlite3_column_type(q, column) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(q, column);
}

// The run's samples still held as rows, by time and zone, each to `each`.
// False when the read failed (sqlite3_errmsg says why).
bool eachRow(sqlite3* db, long long id, const std::function<void(const RunSample&)>& each) {
    Statement q(db, "SELECT time, zone, pv, sv, output, plan_sv FROM samples WHERE run_id = ? "
                    "ORDER BY time, zone");
    if (!q) return false;
    sqlite3_bind_int64(*q, 1, id);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(*q)) == SQLITE_ROW)
        each(RunSample{sqlite3_column_double(*q, 0), sqlite3_column_int(*q, 1), real(*q, 2),
                       real(*q, 3), real(*q, 4), real(*q, 5)});
    return rc == SQLITE_DONE;
}

bool earlier(const RunSample& a, const RunSample& b) {
    return a.time < b.time || (a.time == b.time && a.zone < b.zone);
}

// The run's samples, from its blocks and its rows, each to `each`; how
// many, or false when the read failed (sqlite3_errmsg says why). A store of
// a version before the blocks (read as it is) holds rows alone.
std::optional<std::size_t> readSamples(sqlite3* db, long long id, bool blocks,
                                       const std::function<void(std::size_t)>& expect,
                                       const std::function<void(const RunSample&)>& each) {
    // Each block is in order by time and zone as it was packed; the blocks
    // and the rows after them follow one another in time unless the clock
    // was stepped back, when every sample is gathered and put in order.
    std::size_t count = 0;
    bool inOrder = true;
    std::optional<double> last;
    if (blocks) {
        Statement q(db, "SELECT first_time, last_time, samples FROM sample_blocks WHERE run_id = "
                        "? ORDER BY id");
        if (!q) return std::nullopt;
        sqlite3_bind_int64(*q, 1, id);
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(*q)) == SQLITE_ROW) {
            if (last && !(sqlite3_column_double(*q, 0) > *last)) inOrder = false;
            last = sqlite3_column_double(*q, 1);
            count += std::size_t(sqlite3_column_int64(*q, 2));
        }
        if (rc != SQLITE_DONE) return std::nullopt;
    }
    {
        Statement q(db, "SELECT min(time), count(*) FROM samples WHERE run_id = ?");
        if (!q) return std::nullopt;
        sqlite3_bind_int64(*q, 1, id);
        if (sqlite3_step(*q) != SQLITE_ROW) return std::nullopt;
        if (last && sqlite3_column_type(*q, 0) != SQLITE_NULL &&
            !(sqlite3_column_double(*q, 0) > *last))
            inOrder = false;
        count += std::size_t(sqlite3_column_int64(*q, 1));
    }
    std::vector<RunSample> gathered;
    std::size_t handed = 0;
    const std::function<void(const RunSample&)> gather = [&](const RunSample& s) {
        gathered.push_back(s);
    };
    const std::function<void(const RunSample&)> hand = [&](const RunSample& s) {
        ++handed;
        each(s);
    };
    const auto& to = inOrder ? hand : gather;
    if (inOrder) {
        expect(count);
    } else {
        gathered.reserve(count);
    }
    if (blocks) {
        Statement q(db, "SELECT data FROM sample_blocks WHERE run_id = ? ORDER BY id");
        if (!q) return std::nullopt;
        sqlite3_bind_int64(*q, 1, id);
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(*q)) == SQLITE_ROW) {
            const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(*q, 0));
            const std::size_t n = std::size_t(sqlite3_column_bytes(*q, 0)) / kRecordBytes;
            for (std::size_t i = 0; i < n; ++i)
                to(decode(p + i * kRecordBytes));
        }
        if (rc != SQLITE_DONE) return std::nullopt;
    }
    if (!eachRow(db, id, to)) return std::nullopt;
    if (inOrder) return handed;
    std::stable_sort(gathered.begin(), gathered.end(), earlier);
    expect(gathered.size());
    for (const RunSample& s : gathered)
        each(s);
    return gathered.size();
}

} // namespace

sqlite3* RunStore::Impl::handle() const {
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

bool RunStore::Impl::packSamples(long long id, std::string* why) {
    sqlite3* db = handle();
    std::vector<RunSample> rows;
    if (!eachRow(db, id, [&](const RunSample& s) { rows.push_back(s); })) {
        if (why) *why = failure(db);
        return false;
    }
    Statement insert(db, "INSERT INTO sample_blocks (run_id, first_time, last_time, samples, "
                         "data) VALUES (?, ?, ?, ?, ?)");
    Statement erase(db, "DELETE FROM samples WHERE run_id = ?");
    if (!insert || !erase) {
        if (why) *why = failure(db);
        return false;
    }
    std::size_t from = 0;
    while (from < rows.size()) {
        // A block ends between two times, never inside one poll's samples.
        std::size_t to = std::min(rows.size(), from + kSamplesPerBlock);
        while (to < rows.size() && rows[to].time == rows[to - 1].time)
            ++to;
        std::string data;
        data.reserve((to - from) * kRecordBytes);
        for (std::size_t i = from; i < to; ++i)
            encode(data, rows[i]);
        sqlite3_reset(*insert);
        sqlite3_bind_int64(*insert, 1, id);
        sqlite3_bind_double(*insert, 2, rows[from].time);
        sqlite3_bind_double(*insert, 3, rows[to - 1].time);
        sqlite3_bind_int64(*insert, 4, sqlite3_int64(to - from));
        sqlite3_bind_blob64(*insert, 5, data.data(), data.size(), SQLITE_TRANSIENT);
        if (sqlite3_step(*insert) != SQLITE_DONE) {
            if (why) *why = failure(db);
            return false;
        }
        from = to;
    }
    sqlite3_bind_int64(*erase, 1, id);
    if (sqlite3_step(*erase) != SQLITE_DONE) {
        if (why) *why = failure(db);
        return false;
    }
    tails[id] = 0;
    return true;
}

bool RunStore::Impl::packAllSamples(std::string* why) {
    std::vector<long long> runs;
    {
        Statement q(handle(), "SELECT DISTINCT run_id FROM samples");
        if (!q) {
            if (why) *why = failure(handle());
            return false;
        }
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(*q)) == SQLITE_ROW)
            runs.push_back(sqlite3_column_int64(*q, 0));
        if (rc != SQLITE_DONE) {
            if (why) *why = failure(handle());
            return false;
        }
    }
    for (long long id : runs)
        if (!packSamples(id, why)) return false;
    return true;
}

bool RunStore::Impl::addedSamples(long long id, std::size_t added, std::string* why) {
    auto tail = tails.find(id);
    if (tail == tails.end()) {
        // Rows another process left unpacked count as well.
        Statement q(handle(), "SELECT count(*) FROM samples WHERE run_id = ?");
        if (!q) {
            if (why) *why = failure(handle());
            return false;
        }
        sqlite3_bind_int64(*q, 1, id);
        const std::size_t rows =
            sqlite3_step(*q) == SQLITE_ROW ? std::size_t(sqlite3_column_int64(*q, 0)) : 0;
        tail = tails.emplace(id, rows).first;
    } else {
        tail->second += added;
    }
    return tail->second < kSamplesPerBlock || packSamples(id, why);
}

std::optional<std::vector<RunSample>> RunStore::Impl::allSamples(long long id) {
    std::vector<RunSample> out;
    if (!readSamples(
            handle(), id, version >= kBlocksSince, [&](std::size_t n) { out.reserve(n); },
            [&](const RunSample& s) { out.push_back(s); }))
        return std::nullopt;
    return out;
}

StoreRead<std::vector<RunSample>> RunStore::samples(long long id) {
    std::vector<RunSample> out;
    // Reserved first: a day's run grown a sample at a time would be copied
    // over and over as it grows.
    const auto read = eachSample(
        id, [&](std::size_t count) { out.reserve(count); },
        [&](const RunSample& s) { out.push_back(s); });
    if (read.failed()) return read.failure();
    return out;
}

StoreRead<std::size_t> RunStore::eachSample(long long id,
                                            const std::function<void(std::size_t)>& expect,
                                            const std::function<void(const RunSample&)>& each) {
    sqlite3* db = impl_->handle();
    if (!db) return impl_->failed(db);
    // The blocks and the rows are read in one snapshot: a writer that packs
    // rows into a block in between would otherwise hide them from both.
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return impl_->failed(db);
    const auto handed = readSamples(db, id, impl_->version >= kBlocksSince, expect, each);
    // Taken before the end of the snapshot, which would say nothing of it.
    const StoreFailure failure = handed ? StoreFailure{} : impl_->failed(db);
    if (own) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (!handed) return failure;
    return *handed;
}

StoreRead<std::vector<RunSample>> RunStore::lastSamples(long long id) {
    sqlite3* db = impl_->handle();
    if (!db) return impl_->failed(db);
    // The newest rows first, then the newest block: what a poll recorded
    // last is in one of the two, so a day's run is not read to its end.
    std::vector<RunSample> out;
    const auto keep = [&](const RunSample& s) {
        for (RunSample& o : out)
            if (o.zone == s.zone) {
                if (s.time > o.time) o = s;
                return;
            }
        out.push_back(s);
    };
    const bool own = sqlite3_get_autocommit(db) != 0;
    if (own && sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK)
        return impl_->failed(db);
    bool ok = true;
    {
        Statement q(db, "SELECT time, zone, pv, sv, output, plan_sv FROM samples WHERE run_id = ? "
                        "ORDER BY time DESC LIMIT 256");
        ok = bool(q);
        if (ok) {
            sqlite3_bind_int64(*q, 1, id);
            int rc = SQLITE_ROW;
            while ((rc = sqlite3_step(*q)) == SQLITE_ROW)
                keep(RunSample{sqlite3_column_double(*q, 0), sqlite3_column_int(*q, 1), real(*q, 2),
                               real(*q, 3), real(*q, 4), real(*q, 5)});
            ok = rc == SQLITE_DONE;
        }
    }
    if (ok && impl_->version >= kBlocksSince) {
        Statement q(db, "SELECT data FROM sample_blocks WHERE run_id = ? ORDER BY id DESC LIMIT 1");
        ok = bool(q);
        if (ok) {
            sqlite3_bind_int64(*q, 1, id);
            const int rc = sqlite3_step(*q);
            if (rc == SQLITE_ROW) {
                const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(*q, 0));
                const std::size_t n = std::size_t(sqlite3_column_bytes(*q, 0)) / kRecordBytes;
                for (std::size_t i = 0; i < n; ++i)
                    keep(decode(p + i * kRecordBytes));
            }
            ok = rc == SQLITE_ROW || rc == SQLITE_DONE;
        }
    }
    const StoreFailure failure = ok ? StoreFailure{} : impl_->failed(db);
    if (own) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (!ok) return failure;
    std::sort(out.begin(), out.end(),
              [](const RunSample& a, const RunSample& b) { return a.zone < b.zone; });
    return out;
}

StoreRead<double> RunStore::lastSampleTime(long long id) {
    const bool blocks = impl_->version >= kBlocksSince;
    QSqlQuery q(impl_->db);
    q.prepare(blocks ? "SELECT max(t) FROM (SELECT max(last_time) AS t FROM sample_blocks WHERE "
                       "run_id = ? UNION ALL SELECT max(time) FROM samples WHERE run_id = ?)"
                     : "SELECT max(time) FROM samples WHERE run_id = ?");
    q.addBindValue(id);
    if (blocks) q.addBindValue(id);
    if (!q.exec() || !q.next()) return impl_->failed(q.lastError());
    if (q.value(0).isNull()) return std::nullopt;
    return q.value(0).toDouble();
}
