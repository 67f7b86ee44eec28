// The run store's side of the hash chain (run_chain.h): links appended in
// the transaction that records what they cover, the seal written with the
// end, the chain of every run made as a store is brought up to the version
// that keeps chains, and the check that recomputes it.
#include "base/number_text.h"
#include "runs/run_chain.h"
#include "runs/run_store_impl.h"

#include <algorithm>
#include <climits>
#include <set>

namespace {

bool runQuery(QSqlQuery& q, std::string& why) {
    if (q.exec()) return true;
    why = sqlText(q.lastError());
    return false;
}

std::optional<double> realAt(const QSqlQuery& q, int column) {
    return realOrNone(q.value(column));
}

// A row of the kept figures as bytes: each column as a whole number, a
// real or "-", the way run_chain.h writes its fields.
void rowBytes(std::string& out, const QSqlQuery& q, int columns) {
    for (int i = 0; i < columns; ++i) {
        const QVariant v = q.value(i);
        if (v.isNull()) {
            out += "-\n";
        } else if (v.typeId() == QMetaType::Double) {
            chainReal(out, v.toDouble());
        } else {
            chainWhole(out, v.toLongLong());
        }
    }
}

// The position and hash of the run's last link; nothing (with why empty)
// when it has none yet.
struct Last {
    long long position = -1;
    ChainHash hash;
};

std::optional<Last> lastLink(QSqlDatabase& db, long long id, std::string& why) {
    QSqlQuery q(db);
    q.prepare("SELECT position, hash FROM chain_links WHERE run_id = ? ORDER BY position DESC "
              "LIMIT 1");
    q.addBindValue(id);
    if (!runQuery(q, why)) return std::nullopt;
    if (q.next()) return Last{q.value(0).toLongLong(), q.value(1).toByteArray().toStdString()};
    q.finish();
    q.prepare("SELECT opened FROM runs WHERE id = ?");
    q.addBindValue(id);
    if (!runQuery(q, why)) return std::nullopt;
    if (!q.next()) {
        why = "no run " + std::to_string(id);
        return std::nullopt;
    }
    return Last{-1, chainStart(id, q.value(0).toDouble())};
}

struct Link {
    std::string kind;
    std::optional<long long> event;
    std::optional<double> first, last;
    std::optional<long long> samples;
};

std::optional<ChainHash> append(QSqlDatabase& db, long long id, const Link& l,
                                const std::string& content, std::string& why) {
    const auto last = lastLink(db, id, why);
    if (!last) return std::nullopt;
    const ChainHash hash = chainNext(last->hash, content);
    QSqlQuery q(db);
    q.prepare("INSERT INTO chain_links (run_id, position, kind, event_id, first_time, last_time, "
              "samples, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    q.addBindValue(id);
    q.addBindValue(last->position + 1);
    q.addBindValue(QString::fromStdString(l.kind));
    q.addBindValue(l.event ? QVariant(*l.event) : QVariant(QMetaType::fromType<qlonglong>()));
    q.addBindValue(orNull(l.first));
    q.addBindValue(orNull(l.last));
    q.addBindValue(l.samples ? QVariant(*l.samples) : QVariant(QMetaType::fromType<qlonglong>()));
    q.addBindValue(QByteArray::fromStdString(hash));
    if (!runQuery(q, why)) return std::nullopt;
    return hash;
}

// The event as its row holds it; nothing when there is no such row.
std::optional<ChainEvent> storedEvent(QSqlDatabase& db, long long id, long long event,
                                      std::string& why) {
    QSqlQuery q(db);
    q.prepare("SELECT time, zone, kind, segment, text FROM events WHERE id = ? AND run_id = ?");
    q.addBindValue(event);
    q.addBindValue(id);
    if (!runQuery(q, why) || !q.next()) return std::nullopt;
    ChainEvent e;
    e.time = q.value(0).toDouble();
    if (!q.value(1).isNull()) e.zone = q.value(1).toInt();
    e.kind = q.value(2).toString().toStdString();
    e.segment = q.value(3).toInt();
    e.text = q.value(4).toString().toStdString();
    return e;
}

struct Ending {
    std::string outcome;
    std::optional<double> ended;
};

std::optional<Ending> storedEnd(QSqlDatabase& db, long long id, std::string& why) {
    QSqlQuery q(db);
    q.prepare("SELECT outcome, ended FROM runs WHERE id = ?");
    q.addBindValue(id);
    if (!runQuery(q, why) || !q.next()) return std::nullopt;
    return Ending{q.value(0).toString().toStdString(), realAt(q, 1)};
}

// What a prune keeps, as its rows hold it.
std::optional<std::string> keptBytes(QSqlDatabase& db, long long id, std::string& why) {
    std::string out = "pruned\n";
    QSqlQuery q(db);
    q.prepare("SELECT pruned, length_seconds, samples_pruned, figures_version FROM kept_runs "
              "WHERE run_id = ?");
    q.addBindValue(id);
    if (!runQuery(q, why)) return std::nullopt;
    if (q.next()) rowBytes(out, q, 4);
    q.finish();
    q.prepare("SELECT position, segment, ramp, finished, planned, planned_hold, actual, paused, "
              "held_back, largest_deviation, mean_deviation, ramp_seconds, rate_reached FROM "
              "kept_segments WHERE run_id = ? ORDER BY position");
    q.addBindValue(id);
    if (!runQuery(q, why)) return std::nullopt;
    while (q.next())
        rowBytes(out, q, 13);
    return out;
}

} // namespace

bool RunStore::Impl::chainSamples(long long id, const std::vector<RunSample>& samples,
                                  std::string* why) {
    std::string failure;
    const auto [first, last] =
        std::minmax_element(samples.begin(), samples.end(),
                            [](const RunSample& a, const RunSample& b) { return a.time < b.time; });
    const Link l{"samples", std::nullopt, first->time, last->time, (long long)samples.size()};
    if (append(db, id, l, samplesLink(samples), failure)) return true;
    if (why) *why = failure;
    return false;
}

bool RunStore::Impl::chainEvent(long long id, long long event, std::string* why) {
    std::string failure;
    const auto e = storedEvent(db, id, event, failure);
    if (e && append(db, id, Link{"event", event, {}, {}, {}}, eventLink(*e), failure)) return true;
    if (why) *why = failure.empty() ? "event " + std::to_string(event) + " is gone" : failure;
    return false;
}

bool RunStore::Impl::sealRun(long long id, std::string* why) {
    std::string failure;
    const auto end = storedEnd(db, id, failure);
    const auto seal = end ? append(db, id, Link{"end", {}, end->ended, {}, {}},
                                   endLink(end->outcome, end->ended), failure)
                          : std::nullopt;
    QSqlQuery q(db);
    q.prepare("UPDATE runs SET seal = ? WHERE id = ?");
    q.addBindValue(seal ? QString::fromStdString(hashHex(*seal)) : QString());
    q.addBindValue(id);
    if (seal && runQuery(q, failure)) return true;
    if (why) *why = failure;
    return false;
}

bool RunStore::Impl::chainPruned(long long id, std::string* why) {
    std::string failure;
    const auto kept = keptBytes(db, id, failure);
    if (kept && append(db, id, Link{"pruned", {}, {}, {}, {}}, *kept, failure)) return true;
    if (why) *why = failure;
    return false;
}

// Every run a store of the version before held gets its chain now: one
// link for all its samples, one per event, its end and what a prune kept.
// Such a run says it was sealed as the store was brought up, never as it
// was recorded: nothing shows what changed before then.
bool RunStore::Impl::chainAllRuns(std::string* why) {
    std::string failure;
    QSqlQuery runs(db);
    runs.setForwardOnly(true);
    if (!runs.exec("SELECT id, phase = 'ended', (SELECT samples_pruned FROM kept_runs WHERE run_id "
                   "= runs.id) FROM runs ORDER BY id")) {
        if (why) *why = sqlText(runs.lastError());
        return false;
    }
    struct Old {
        long long id;
        bool ended, pruned;
    };
    std::vector<Old> old;
    while (runs.next())
        old.push_back(
            {runs.value(0).toLongLong(), runs.value(1).toBool(), runs.value(2).toInt() != 0});
    runs.finish();
    for (const Old& r : old) {
        QSqlQuery q(db);
        q.prepare("SELECT id FROM events WHERE run_id = ? ORDER BY id");
        q.addBindValue(r.id);
        if (!runQuery(q, failure)) {
            if (why) *why = failure;
            return false;
        }
        std::vector<long long> events;
        while (q.next())
            events.push_back(q.value(0).toLongLong());
        q.finish();
        const auto read = allSamples(r.id);
        if (!read) {
            if (why) *why = "the samples of run " + std::to_string(r.id) + " do not read";
            return false;
        }
        if (!read->empty() && !chainSamples(r.id, *read, why)) return false;
        for (long long e : events)
            if (!chainEvent(r.id, e, why)) return false;
        if (r.ended && !sealRun(r.id, why)) return false;
        if (r.pruned && !chainPruned(r.id, why)) return false;
    }
    return true;
}

namespace {

bool byTimeAndZone(const RunSample& a, const RunSample& b) {
    return a.time < b.time || (a.time == b.time && a.zone < b.zone);
}

ChainCheck broken(ChainCheck c, std::string place, std::optional<double> time) {
    c.verdict = ChainCheck::Verdict::broken;
    c.place = std::move(place);
    c.time = time;
    return c;
}

} // namespace

StoreRead<ChainCheck> RunStore::checkChain(long long id) {
    Impl& s = *impl_;
    ChainCheck c;
    if (s.version < kChainSince) {
        c.verdict = ChainCheck::Verdict::unchained;
        return c;
    }
    std::string why;
    QSqlQuery run(s.db);
    run.prepare("SELECT opened, phase, seal, chain_since FROM runs WHERE id = ?");
    run.addBindValue(id);
    if (!run.exec()) return s.failed(run.lastError());
    if (!run.next()) {
        if (run.lastError().isValid()) return s.failed(run.lastError());
        return std::nullopt;
    }
    const double opened = run.value(0).toDouble();
    const bool ended = run.value(1).toString() == "ended";
    const std::string seal = run.value(2).toString().toStdString();
    c.sealedAtUpgrade = run.value(3).toString() == "upgrade";
    run.finish();

    struct Stored {
        long long position;
        Link link;
        ChainHash hash;
    };
    std::vector<Stored> links;
    QSqlQuery q(s.db);
    q.setForwardOnly(true);
    q.prepare("SELECT position, kind, event_id, first_time, last_time, samples, hash FROM "
              "chain_links WHERE run_id = ? ORDER BY position");
    q.addBindValue(id);
    if (!q.exec()) return s.failed(q.lastError());
    while (q.next()) {
        Link l;
        l.kind = q.value(1).toString().toStdString();
        if (!q.value(2).isNull()) l.event = q.value(2).toLongLong();
        l.first = realAt(q, 3);
        l.last = realAt(q, 4);
        if (!q.value(5).isNull()) l.samples = q.value(5).toLongLong();
        links.push_back({q.value(0).toLongLong(), l, q.value(6).toByteArray().toStdString()});
        if (l.kind == "pruned") c.pruned = true;
    }
    if (q.lastError().isValid()) return s.failed(q.lastError());
    q.finish();

    const auto read = samples(id);
    if (read.failed()) return read.failure();
    const std::vector<RunSample>& all = *read;
    std::vector<bool> claimed(all.size(), false);
    std::set<long long> chainedEvents;

    ChainHash h = chainStart(id, opened);
    bool sealed = false;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const Stored& l = links[i];
        const std::string name = "link " + formatWhole(l.position);
        if (l.position != (long long)i)
            return broken(c, name + " (the link before it is gone)", {});
        std::string content;
        std::optional<double> at = l.link.first;
        std::string place;
        if (l.link.kind == "samples") {
            place = "the samples";
            if (c.pruned) {
                // Gone with the prune, which sealed what it kept in their place.
                h = l.hash;
                ++c.links;
                continue;
            }
            if (!l.link.first || !l.link.last) return broken(c, name + " (it names no time)", {});
            const auto from =
                std::lower_bound(all.begin(), all.end(),
                                 RunSample{*l.link.first, INT_MIN, {}, {}, {}, {}}, byTimeAndZone);
            const auto to =
                std::upper_bound(all.begin(), all.end(),
                                 RunSample{*l.link.last, INT_MAX, {}, {}, {}, {}}, byTimeAndZone);
            for (auto it = from; it != to; ++it)
                claimed[std::size_t(it - all.begin())] = true;
            content = samplesLink({from, to});
        } else if (l.link.kind == "event" && l.link.event) {
            place = "event " + formatWhole(*l.link.event);
            const auto e = storedEvent(s.db, id, *l.link.event, why);
            if (!why.empty()) return StoreFailure{s.path + " could not be read: " + why};
            if (!e) return broken(c, place + " (its row is gone)", {});
            chainedEvents.insert(*l.link.event);
            at = e->time;
            content = eventLink(*e);
        } else if (l.link.kind == "end") {
            place = "the end";
            const auto e = storedEnd(s.db, id, why);
            if (!e) return StoreFailure{s.path + " could not be read: " + why};
            at = e->ended;
            content = endLink(e->outcome, e->ended);
        } else if (l.link.kind == "pruned") {
            place = "the figures kept by the prune";
            const auto kept = keptBytes(s.db, id, why);
            if (!kept) return StoreFailure{s.path + " could not be read: " + why};
            content = *kept;
        } else {
            return broken(c, name + " (a link of no known kind)", {});
        }
        h = chainNext(h, content);
        if (h != l.hash) return broken(c, place, at);
        if (l.link.kind == "end") {
            if (hashHex(h) != seal) return broken(c, "the seal (the run's row holds another)", at);
            sealed = true;
        }
        ++c.links;
    }
    // What no link covers was put in by another tool.
    for (std::size_t i = 0; i < all.size(); ++i)
        if (!claimed[i] && !c.pruned)
            return broken(c, "a sample of zone " + formatWhole(all[i].zone) + " no link covers",
                          all[i].time);
    q.prepare("SELECT id, time FROM events WHERE run_id = ? ORDER BY id");
    q.addBindValue(id);
    if (!q.exec()) return s.failed(q.lastError());
    while (q.next())
        if (!chainedEvents.count(q.value(0).toLongLong()))
            return broken(c,
                          "event " + formatWhole(q.value(0).toLongLong()) + " (no link covers it)",
                          q.value(1).toDouble());
    if (ended && !sealed) return broken(c, "the end (the run ended without its seal)", {});
    c.seal = sealed ? seal : "";
    c.verdict = sealed ? ChainCheck::Verdict::intact : ChainCheck::Verdict::open;
    return c;
}

StoreRead<RunSeal> RunStore::seal(long long id) {
    if (impl_->version < kChainSince) return std::nullopt;
    QSqlQuery q(impl_->db);
    q.prepare(
        "SELECT seal, chain_since FROM runs WHERE id = ? AND seal IS NOT NULL AND seal != ''");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return std::nullopt;
    }
    return RunSeal{q.value(0).toString().toStdString(), q.value(1).toString() == "upgrade"};
}
