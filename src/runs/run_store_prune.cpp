// An ended run's figures kept beside its samples; and pruning a run: its
// samples, which make the most of a store, give way to those figures, so an
// old run still lists and shows.
#include "runs/run_store_impl.h"

namespace {

bool exec(QSqlQuery& q, std::string& why) {
    if (q.exec()) return true;
    why = sqlText(q.lastError());
    return false;
}

} // namespace

namespace {

// Within a transaction: the run has ended, and its figures are written in
// place of any kept before.
bool writeKept(QSqlDatabase& db, long long id, const KeptFigures& kept, std::string& failure) {
    // Asked inside the transaction: a run going on in another process
    // cannot end or go on between the question and the write.
    QSqlQuery phase(db);
    phase.prepare("SELECT phase FROM runs WHERE id = ?");
    phase.addBindValue(id);
    if (!exec(phase, failure)) return false;
    if (!phase.next()) {
        failure = "no run " + std::to_string(id);
        return false;
    }
    if (phase.value(0).toString() != "ended") {
        failure = "run " + std::to_string(id) + " has not ended; " +
                  (kept.samplesPruned ? "its samples stay" : "it has no figures to keep yet");
        return false;
    }
    phase.finish();

    QSqlQuery q(db);
    q.prepare("INSERT OR REPLACE INTO kept_runs (run_id, pruned, length_seconds, samples_pruned, "
              "figures_version) VALUES (?, ?, ?, ?, ?)");
    q.addBindValue(id);
    q.addBindValue(kept.kept);
    q.addBindValue(orNull(kept.lengthSeconds));
    q.addBindValue(int(kept.samplesPruned));
    q.addBindValue(kept.version);
    if (!exec(q, failure)) return false;
    q.prepare("DELETE FROM kept_segments WHERE run_id = ?");
    q.addBindValue(id);
    if (!exec(q, failure)) return false;
    for (std::size_t i = 0; i < kept.segments.size(); ++i) {
        const SegmentFigures& g = kept.segments[i];
        q.prepare("INSERT INTO kept_segments (run_id, position, segment, ramp, finished, planned, "
                  "planned_hold, actual, paused, held_back, largest_deviation, mean_deviation, "
                  "ramp_seconds, rate_reached) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        for (const QVariant& v :
             {QVariant(id), QVariant(int(i)), QVariant(g.segment), QVariant(int(g.ramp)),
              QVariant(int(g.finished)), QVariant(g.plannedSeconds), QVariant(g.plannedHoldSeconds),
              QVariant(g.actualSeconds), QVariant(g.pausedSeconds), QVariant(g.heldBackSeconds),
              orNull(g.largestDeviation), orNull(g.meanDeviation), orNull(g.rampSeconds),
              orNull(g.rateReached)})
            q.addBindValue(v);
        if (!exec(q, failure)) return false;
    }
    return true;
}

} // namespace

bool RunStore::keepFigures(long long id, const KeptFigures& kept, std::string* why) {
    Impl& s = *impl_;
    std::string failure;
    if (s.use == Use::read) {
        if (why) *why = s.path + " was opened to read; nothing is written to it";
        return false;
    }
    if (s.exec("BEGIN IMMEDIATE", &failure) && writeKept(s.db, id, kept, failure) &&
        s.exec("COMMIT", &failure))
        return true;
    s.exec("ROLLBACK", nullptr);
    if (why) *why = s.path + ": " + failure;
    return false;
}

bool RunStore::pruneSamples(long long id, const KeptFigures& kept, std::string* why) {
    Impl& s = *impl_;
    std::string failure;
    const auto fail = [&](const std::string& text) {
        s.exec("ROLLBACK", nullptr);
        if (why) *why = s.path + ": " + text;
        return false;
    };
    if (s.use == Use::read) {
        if (why) *why = s.path + " was opened to read; nothing is written to it";
        return false;
    }
    if (!s.exec("BEGIN IMMEDIATE", &failure)) return fail(failure);
    KeptFigures pruned = kept;
    pruned.samplesPruned = true;
    if (!writeKept(s.db, id, pruned, failure)) return fail(failure);
    for (const char* sql :
         {"DELETE FROM samples WHERE run_id = ?", "DELETE FROM sample_blocks WHERE run_id = ?"}) {
        QSqlQuery q(s.db);
        q.prepare(sql);
        q.addBindValue(id);
        if (!exec(q, failure)) return fail(failure);
    }
    // What it keeps in their place is sealed after the run's own seal.
    if (!s.chainPruned(id, &failure)) return fail(failure);
    if (!s.exec("COMMIT", &failure)) return fail(failure);
    return true;
}

StoreRead<KeptFigures> RunStore::keptFigures(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT pruned, length_seconds, samples_pruned, figures_version FROM kept_runs "
              "WHERE run_id = ?");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return std::nullopt;
    }
    KeptFigures kept;
    kept.kept = q.value(0).toDouble();
    kept.lengthSeconds = realOrNone(q.value(1));
    kept.samplesPruned = q.value(2).toInt() != 0;
    kept.version = q.value(3).toInt();
    q.finish();
    q.prepare("SELECT segment, ramp, finished, planned, planned_hold, actual, paused, held_back, "
              "largest_deviation, mean_deviation, ramp_seconds, rate_reached FROM kept_segments "
              "WHERE run_id = ? ORDER BY position");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    while (q.next()) {
        SegmentFigures g;
        g.segment = q.value(0).toInt();
        g.ramp = q.value(1).toInt() != 0;
        g.finished = q.value(2).toInt() != 0;
        g.plannedSeconds = q.value(3).toDouble();
        g.plannedHoldSeconds = q.value(4).toDouble();
        g.actualSeconds = q.value(5).toDouble();
        g.pausedSeconds = q.value(6).toDouble();
        g.heldBackSeconds = q.value(7).toDouble();
        g.largestDeviation = realOrNone(q.value(8));
        g.meanDeviation = realOrNone(q.value(9));
        g.rampSeconds = realOrNone(q.value(10));
        g.rateReached = realOrNone(q.value(11));
        kept.segments.push_back(g);
    }
    if (q.lastError().isValid()) return impl_->failed(q.lastError());
    return kept;
}
