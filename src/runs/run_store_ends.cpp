// The run store's side of the ends kept beside it (run_end_journal.h), and
// the one claim of a controller by a run: whatever its device is called.
#include "base/number_text.h"
#include "runs/run_device.h"
#include "runs/run_store_impl.h"

namespace {

// One durable transaction of its own; false when any of it failed.
template <class Body> bool inDurableTransaction(RunStore::Impl& s, Body body) {
    if (!s.exec("PRAGMA synchronous=FULL", nullptr)) return false;
    bool ok = s.exec("BEGIN IMMEDIATE", nullptr);
    if (ok) ok = body() && s.exec("COMMIT", nullptr);
    if (!ok) s.exec("ROLLBACK", nullptr);
    s.exec("PRAGMA synchronous=NORMAL", nullptr);
    return ok;
}

// What the store holds of an end kept beside it, once it was put there late.
bool recordKeptEnd(RunStore::Impl& s, const KeptEnd& e) {
    return inDurableTransaction(s, [&] {
        QSqlQuery q(s.db);
        // Writes per hour of the time it ran, as a run's end computes them.
        q.prepare("UPDATE runs SET phase = 'ended', outcome = ?, ended = ?, writes = ?, "
                  "segment = ?, pause_reason = '', writes_per_hour = CASE WHEN started IS NOT "
                  "NULL AND ? > started THEN ? * 3600.0 / ((? - started) * time_scale) ELSE "
                  "writes_per_hour END WHERE id = ? AND phase != 'ended'");
        q.addBindValue(outcomeName(e.outcome));
        q.addBindValue(e.ended);
        q.addBindValue(qlonglong(e.writes));
        q.addBindValue(e.segment);
        q.addBindValue(e.ended);
        q.addBindValue(double(e.writes));
        q.addBindValue(e.ended);
        q.addBindValue(e.run);
        if (!q.exec()) return false;
        // Ended already (or gone): the store had it all.
        if (q.numRowsAffected() <= 0) return true;
        QSqlQuery ev(s.db);
        ev.prepare("INSERT INTO events (run_id, time, zone, kind, segment, text) VALUES (?, ?, "
                   "NULL, ?, ?, ?)");
        ev.addBindValue(e.run);
        ev.addBindValue(e.ended);
        ev.addBindValue(eventKindName(EventKind::end));
        ev.addBindValue(e.segment);
        ev.addBindValue(QString::fromStdString(
            e.text + " (recorded late: the run store could not be written as the run ended)"));
        return ev.exec() && s.chainEvent(e.run, ev.lastInsertId().toLongLong(), nullptr) &&
               s.sealRun(e.run, nullptr);
    });
}

} // namespace

std::string RunStore::endJournalPath() const {
    // Beside the file itself, as its -wal is, when the store is named by a link.
    return impl_->db.databaseName().toStdString() + "-ended";
}

std::map<long long, KeptEnd> RunStore::Impl::keptEnds() const {
    return EndJournal(db.databaseName().toStdString() + "-ended").ends();
}

void RunStore::Impl::applyKeptEnd(StoredRun& run, const std::map<long long, KeptEnd>& ends) {
    const auto it = ends.find(run.id);
    RunState& st = run.state;
    if (it == ends.end() || st.phase == RunPhase::ended) return;
    st.phase = RunPhase::ended;
    st.outcome = it->second.outcome;
    st.ended = it->second.ended;
    st.writes = it->second.writes;
    st.segment = it->second.segment;
    st.pauseReason.clear();
}

void RunStore::settleEnds() {
    EndJournal(endJournalPath())
        .settle([&](const KeptEnd& e) { return recordKeptEnd(*impl_, e); },
                [&](long long run) {
                    QSqlQuery q(impl_->db);
                    q.prepare("SELECT phase FROM runs WHERE id = ?");
                    q.addBindValue(run);
                    if (!q.exec()) return false;
                    return !q.next() || q.value(0).toString() == "ended";
                });
}

std::string RunStore::Impl::heldZone(const std::vector<ZoneState>& zones,
                                     std::optional<long long> except) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec("SELECT r.id, r.program_name, z.port, z.device, z.controller_id FROM zones z "
                "JOIN runs r ON r.id = z.run_id WHERE r.phase != 'ended' AND r.kind = 'program' "
                "ORDER BY r.id, z.zone"))
        return "the runs that hold controllers could not be read: " + sqlText(q.lastError());
    const std::map<long long, KeptEnd> ended = keptEnds();
    while (q.next()) {
        const long long id = q.value(0).toLongLong();
        if ((except && id == *except) || ended.count(id)) continue;
        ZoneState held;
        held.port = q.value(2).toString().toStdString();
        held.device = q.value(3).toString().toStdString();
        held.id = q.value(4).toInt();
        const std::string device = zoneDevice(held);
        for (const ZoneState& z : zones)
            if (z.id == held.id && sameRunDevice(zoneDevice(z), device))
                return "run " + formatWhole(id) + " (" + q.value(1).toString().toStdString() +
                       ") holds " + held.port + " id " + formatWhole(held.id) +
                       (held.port == device ? "" : " (" + device + ")") + " already";
    }
    return "";
}
