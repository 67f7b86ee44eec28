#include "runs/run_device.h"
#include "runs/run_store_impl.h"

#include <algorithm>

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QVariant zoneOrNull(const std::optional<int>& zone) {
    return orNull(zone);
}

} // namespace

bool RunStore::Impl::prepare() {
    insertSample.emplace(db);
    insertEvent.emplace(db);
    updateRun.emplace(db);
    updateZone.emplace(db);
    return insertSample->prepare("INSERT INTO samples (run_id, time, zone, pv, sv, output, "
                                 "plan_sv) VALUES (?, ?, ?, ?, ?, ?, ?)") &&
           insertEvent->prepare("INSERT INTO events (run_id, time, zone, kind, segment, text) "
                                "VALUES (?, ?, ?, ?, ?, ?)") &&
           updateRun->prepare(
               "UPDATE runs SET phase = ?, outcome = ?, start_at = ?, started = ?, ended = ?, "
               "writes = ?, writes_per_hour = ?, segment = ?, plan_segment = ?, plan_from_sv = ?, "
               "plan_hold_done = ?, plan_clock = ?, pause_reason = ?, program_text = ? WHERE id = "
               "?") &&
           updateZone->prepare("UPDATE zones SET last_written = ?, ramp_rate_before = ? WHERE "
                               "run_id = ? AND zone = ?");
}

RunStore::RunStore(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RunStore::~RunStore() = default;

const std::string& RunStore::path() const {
    return impl_->path;
}

const std::string& RunStore::notice() const {
    return impl_->notice;
}

bool RunStore::snapshot() const {
    return impl_->snapshot;
}

namespace {

// A lookup's query gave no row: nothing there, unless the step failed.
template <class T> StoreRead<T> endOrFailure(const RunStore::Impl& s, const QSqlQuery& q) {
    if (q.lastError().isValid()) return s.failed(q.lastError());
    return std::nullopt;
}

bool run(QSqlQuery& q, std::string& why) {
    if (q.exec()) return true;
    why = sqlText(q.lastError());
    return false;
}

bool writeState(RunStore::Impl& s, long long id, const RunState& st, std::string& why) {
    QSqlQuery& q = *s.updateRun;
    q.addBindValue(phaseName(st.phase));
    q.addBindValue(st.outcome ? QVariant(outcomeName(*st.outcome))
                              : QVariant(QMetaType::fromType<QString>()));
    q.addBindValue(orNull(st.startAt));
    q.addBindValue(orNull(st.started));
    q.addBindValue(orNull(st.ended));
    q.addBindValue(qlonglong(st.writes));
    q.addBindValue(st.writesPerHour(st.ended.value_or(st.started.value_or(st.opened))));
    q.addBindValue(st.segment);
    q.addBindValue(st.planStart.step);
    q.addBindValue(st.planStart.fromSv);
    q.addBindValue(st.planStart.holdDone);
    q.addBindValue(st.planClock);
    q.addBindValue(text(st.pauseReason));
    // A live change to the firing (a hold extended) is the run's program from then on.
    q.addBindValue(text(st.programText));
    q.addBindValue(id);
    return run(q, why);
}

bool writeEvent(RunStore::Impl& s, long long id, const RunEvent& e, std::string& why) {
    QSqlQuery& q = *s.insertEvent;
    q.addBindValue(id);
    q.addBindValue(e.time);
    q.addBindValue(zoneOrNull(e.zone));
    q.addBindValue(eventKindName(e.kind));
    q.addBindValue(e.segment);
    q.addBindValue(text(e.text));
    // Chained as its row holds it, so that recomputing it reads the same bytes.
    return run(q, why) && s.chainEvent(id, q.lastInsertId().toLongLong(), &why);
}

} // namespace

std::optional<long long> RunStore::create(const RunState& st, std::optional<long long> resumedFrom,
                                          std::string* why) {
    // Ends kept beside the store go in first: a run they ended holds nothing.
    settleEnds();
    std::optional<long long> id;
    std::string held;
    const bool ok = transaction(*impl_, true, why, [&](std::string& failure) {
        // Looked at in the transaction that claims them: two hosts that
        // start a run on one controller at once cannot both have it.
        if (st.kind == RunKind::program) held = impl_->heldZone(st.zones, resumedFrom);
        if (!held.empty()) return false;
        if (resumedFrom) {
            QSqlQuery q(impl_->db);
            q.prepare("UPDATE runs SET phase = 'ended', outcome = 'resumed', ended = ? WHERE id = "
                      "? AND phase != 'ended'");
            q.addBindValue(st.opened);
            q.addBindValue(*resumedFrom);
            if (!run(q, failure)) return false;
            if (q.numRowsAffected() > 0 && !impl_->sealRun(*resumedFrom, &failure)) return false;
        }
        QSqlQuery q(impl_->db);
        q.prepare("INSERT INTO runs (kind, program_name, program_text, phase, opened, "
                  "resumed_from, time_scale) VALUES (?, ?, ?, ?, ?, ?, ?)");
        q.addBindValue(kindName(st.kind));
        q.addBindValue(text(st.programName));
        q.addBindValue(text(st.programText));
        q.addBindValue(phaseName(st.phase));
        q.addBindValue(st.opened);
        q.addBindValue(resumedFrom ? QVariant(*resumedFrom)
                                   : QVariant(QMetaType::fromType<qlonglong>()));
        q.addBindValue(st.timeScale);
        if (!run(q, failure)) return false;
        id = q.lastInsertId().toLongLong();
        if (!writeState(*impl_, *id, st, failure)) return false;
        for (std::size_t i = 0; i < st.zones.size(); ++i) {
            const ZoneState& z = st.zones[i];
            QSqlQuery zq(impl_->db);
            zq.prepare("INSERT INTO zones (run_id, zone, port, controller_id, zone_offset, "
                       "last_written, ramp_rate_before, device, unit) VALUES (?, ?, ?, ?, ?, ?, "
                       "?, ?, ?)");
            zq.addBindValue(*id);
            zq.addBindValue(int(i));
            zq.addBindValue(text(z.port));
            zq.addBindValue(z.id);
            zq.addBindValue(z.offset);
            zq.addBindValue(orNull(z.lastWritten));
            zq.addBindValue(orNull(z.rampBefore));
            zq.addBindValue(text(z.device.empty() ? runDevice(z.port) : z.device));
            zq.addBindValue(z.unit ? QVariant(unitLetter(*z.unit))
                                   : QVariant(QMetaType::fromType<QString>()));
            if (!run(zq, failure)) return false;
        }
        return true;
    });
    if (!held.empty() && why) *why = held;
    return ok ? id : std::nullopt;
}

namespace {

// This process drives run id from now on, and no stop asked before is left.
bool takeDriving(RunStore::Impl& s, long long id, std::string& why) {
    const RunDriver me = thisProcess();
    QSqlQuery q(s.db);
    q.prepare("UPDATE runs SET driver_pid = ?, driver_token = ?, stop_requested = NULL "
              "WHERE id = ?");
    q.addBindValue(me.pid);
    q.addBindValue(text(me.token));
    q.addBindValue(id);
    return run(q, why);
}

} // namespace

bool RunStore::resumeRun(long long id, const std::vector<ZoneState>& zones, const RunEvent& lost,
                         std::string* why) {
    settleEnds();
    const RunDriver me = thisProcess();
    std::string refused;
    const bool ok = transaction(*impl_, true, why, [&](std::string& failure) {
        // Asked in the transaction that claims it, as create() asks.
        QSqlQuery q(impl_->db);
        q.prepare("SELECT phase, driver_pid, driver_token FROM runs WHERE id = ?");
        q.addBindValue(id);
        if (!run(q, failure)) return false;
        const std::string name = "run " + std::to_string(id);
        if (!q.next()) {
            refused = "there is no " + name;
        } else if (q.value(0).toString() == "ended" || impl_->keptEnds().count(id)) {
            // Nothing starts a firing again once it ended.
            refused = name + " has ended";
        } else if (!q.value(1).isNull()) {
            const RunDriver d{q.value(1).toLongLong(), q.value(2).toString().toStdString()};
            if (d.pid != me.pid && stillRunning(d))
                refused = name + " is driven by q7, pid " + std::to_string(d.pid) + " already";
        }
        q.finish();
        if (refused.empty()) refused = impl_->heldZone(zones, id);
        if (!refused.empty()) return false;
        if (!writeEvent(*impl_, id, lost, failure)) return false;
        for (std::size_t i = 0; i < zones.size(); ++i) {
            QSqlQuery z(impl_->db);
            // A unit an older q7 did not record is the one its samples were in.
            z.prepare("UPDATE zones SET port = ?, unit = coalesce(unit, ?) WHERE run_id = ? AND "
                      "zone = ?");
            z.addBindValue(text(zones[i].port));
            z.addBindValue(zones[i].unit ? QVariant(unitLetter(*zones[i].unit))
                                         : QVariant(QMetaType::fromType<QString>()));
            z.addBindValue(id);
            z.addBindValue(int(i));
            if (!run(z, failure)) return false;
        }
        return takeDriving(*impl_, id, failure);
    });
    if (!refused.empty() && why) *why = refused;
    return ok;
}

bool RunStore::record(long long id, const RunUpdate& u, std::string* why) {
    const bool durable = u.stateChanged || !u.events.empty();
    return transaction(*impl_, durable, why, [&](std::string& failure) {
        for (const RunSample& s : u.samples) {
            QSqlQuery& q = *impl_->insertSample;
            q.addBindValue(id);
            q.addBindValue(s.time);
            q.addBindValue(s.zone);
            q.addBindValue(orNull(s.pv));
            q.addBindValue(orNull(s.sv));
            q.addBindValue(orNull(s.output));
            q.addBindValue(orNull(s.planSv));
            if (!run(q, failure)) return false;
        }
        if (!u.samples.empty() && (!impl_->chainSamples(id, u.samples, &failure) ||
                                   !impl_->addedSamples(id, u.samples.size(), &failure)))
            return false;
        for (const RunEvent& e : u.events)
            if (!writeEvent(*impl_, id, e, failure)) return false;
        // The seal goes in with the end, in the same transaction.
        bool ending = false;
        if (u.state.phase == RunPhase::ended) {
            QSqlQuery q(impl_->db);
            q.prepare("SELECT phase != 'ended' FROM runs WHERE id = ?");
            q.addBindValue(id);
            if (!run(q, failure)) return false;
            ending = q.next() && q.value(0).toBool();
        }
        if (!writeState(*impl_, id, u.state, failure)) return false;
        if (ending && !impl_->sealRun(id, &failure)) return false;
        if (!u.stateChanged) return true;
        for (std::size_t i = 0; i < u.state.zones.size(); ++i) {
            QSqlQuery& q = *impl_->updateZone;
            q.addBindValue(orNull(u.state.zones[i].lastWritten));
            q.addBindValue(orNull(u.state.zones[i].rampBefore));
            q.addBindValue(id);
            q.addBindValue(int(i));
            if (!run(q, failure)) return false;
        }
        return true;
    });
}

bool RunStore::addEvent(long long id, const RunEvent& event, std::string* why) {
    return transaction(*impl_, true, why, [&](std::string& failure) {
        return writeEvent(*impl_, id, event, failure);
    });
}

bool RunStore::drive(long long id, std::string* why) {
    return transaction(*impl_, true, why, [&](std::string& failure) {
        return takeDriving(*impl_, id, failure);
    });
}

StoreRead<RunDriver> RunStore::driver(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT driver_pid, driver_token FROM runs WHERE id = ? AND driver_pid IS NOT NULL");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) return endOrFailure<RunDriver>(*impl_, q);
    return RunDriver{q.value(0).toLongLong(), q.value(1).toString().toStdString()};
}

bool RunStore::requestStop(long long id, double now, std::string* why) {
    return transaction(*impl_, true, why, [&](std::string& failure) {
        QSqlQuery q(impl_->db);
        q.prepare("UPDATE runs SET stop_requested = ? WHERE id = ? AND phase != 'ended'");
        q.addBindValue(now);
        q.addBindValue(id);
        return run(q, failure);
    });
}

bool RunStore::requestContinue(long long id, double now, std::string* why) {
    return transaction(*impl_, true, why, [&](std::string& failure) {
        QSqlQuery q(impl_->db);
        q.prepare("UPDATE runs SET continue_requested = ? WHERE id = ? AND phase != 'ended'");
        q.addBindValue(now);
        q.addBindValue(id);
        return run(q, failure);
    });
}

StoreRead<double> RunStore::continueRequested(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT continue_requested FROM runs WHERE id = ?");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return std::nullopt;
    }
    if (q.value(0).isNull()) return std::nullopt;
    return q.value(0).toDouble();
}

StoreRead<bool> RunStore::stopRequested(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT stop_requested IS NOT NULL FROM runs WHERE id = ?");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        // No such run has no stop asked for it.
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return false;
    }
    return q.value(0).toBool();
}

namespace {

StoreRead<std::vector<long long>> ids(RunStore::Impl& s, const QString& sql) {
    std::vector<long long> out;
    QSqlQuery q(s.db);
    q.setForwardOnly(true);
    if (!q.exec(sql)) return s.failed(q.lastError());
    while (q.next())
        out.push_back(q.value(0).toLongLong());
    if (q.lastError().isValid()) return s.failed(q.lastError());
    return out;
}

} // namespace

StoreRead<std::vector<long long>> RunStore::unfinished() {
    auto out = ids(*impl_, "SELECT id FROM runs WHERE phase != 'ended' ORDER BY id");
    if (out.failed()) return out;
    // A run whose end the store could not take ended all the same.
    const auto ended = impl_->keptEnds();
    std::erase_if(*out, [&](long long id) { return ended.count(id) != 0; });
    return out;
}

StoreRead<std::vector<long long>> RunStore::runIds() {
    return ids(*impl_, "SELECT id FROM runs ORDER BY id DESC");
}

StoreRead<StoredRun> RunStore::load(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT program_name, program_text, phase, outcome, opened, start_at, started, "
              "ended, resumed_from, time_scale, writes, segment, plan_segment, plan_from_sv, "
              "plan_hold_done, plan_clock, pause_reason, kind FROM runs WHERE id = ?");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) return endOrFailure<StoredRun>(*impl_, q);
    StoredRun r;
    r.id = id;
    RunState& st = r.state;
    st.programName = q.value(0).toString().toStdString();
    st.programText = q.value(1).toString().toStdString();
    st.phase = phaseNamed(q.value(2).toString().toStdString()).value_or(RunPhase::ended);
    if (!q.value(3).isNull()) st.outcome = outcomeNamed(q.value(3).toString().toStdString());
    st.opened = q.value(4).toDouble();
    st.startAt = realOrNone(q.value(5));
    st.started = realOrNone(q.value(6));
    st.ended = realOrNone(q.value(7));
    if (!q.value(8).isNull()) r.resumedFrom = q.value(8).toLongLong();
    st.timeScale = q.value(9).toDouble();
    st.writes = long(q.value(10).toLongLong());
    st.segment = q.value(11).toInt();
    st.planStart = PlanStart{q.value(12).toInt(), q.value(13).toDouble(), q.value(14).toDouble()};
    st.planClock = q.value(15).toDouble();
    st.pauseReason = q.value(16).toString().toStdString();
    // A kind a newer program wrote is not a firing program this one could go on with.
    st.kind = kindNamed(q.value(17).toString().toStdString()).value_or(RunKind::steps);
    QSqlQuery z(impl_->db);
    // A reader may read a store from before zones had their device, or their unit.
    const bool hasDevice = impl_->version >= kZoneDeviceSince;
    const bool hasUnit = impl_->version >= kZoneUnitSince;
    z.prepare(QString("SELECT port, controller_id, zone_offset, last_written, ramp_rate_before") +
              (hasDevice ? ", device" : ", ''") + (hasUnit ? ", unit" : ", NULL") +
              " FROM zones WHERE run_id = ? ORDER BY zone");
    z.addBindValue(id);
    if (!z.exec()) return impl_->failed(z.lastError());
    while (z.next()) {
        std::optional<TemperatureUnit> unit;
        if (const QString u = z.value(6).toString(); u == "C" || u == "F")
            unit = u == "C" ? TemperatureUnit::celsius : TemperatureUnit::fahrenheit;
        st.zones.push_back(ZoneState{z.value(0).toString().toStdString(), z.value(1).toInt(),
                                     z.value(2).toDouble(), realOrNone(z.value(3)),
                                     realOrNone(z.value(4)), z.value(5).toString().toStdString(),
                                     unit});
    }
    if (z.lastError().isValid()) return impl_->failed(z.lastError());
    Impl::applyKeptEnd(r, impl_->keptEnds());
    return r;
}

StoreRead<std::vector<RunEvent>> RunStore::events(long long id) {
    std::vector<RunEvent> out;
    QSqlQuery q(impl_->db);
    q.setForwardOnly(true);
    q.prepare("SELECT time, zone, kind, segment, text FROM events WHERE run_id = ? ORDER BY id");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    while (q.next()) {
        RunEvent e;
        e.time = q.value(0).toDouble();
        if (!q.value(1).isNull()) e.zone = q.value(1).toInt();
        e.kind = eventKindNamed(q.value(2).toString().toStdString()).value_or(EventKind::other);
        e.segment = q.value(3).toInt();
        e.text = q.value(4).toString().toStdString();
        out.push_back(e);
    }
    if (q.lastError().isValid()) return impl_->failed(q.lastError());
    // An end the store could not take is the run's last event all the same.
    const auto ended = impl_->keptEnds();
    const auto kept = ended.find(id);
    const bool hasEnd = std::any_of(out.begin(), out.end(),
                                    [](const RunEvent& e) { return e.kind == EventKind::end; });
    if (kept != ended.end() && !hasEnd)
        out.push_back(RunEvent{kept->second.ended, std::nullopt, EventKind::end,
                               kept->second.segment, kept->second.text});
    return out;
}

StoreRead<std::vector<RunEvent>> RunStore::recentEvents(EventKind kind, int limit) {
    std::vector<RunEvent> out;
    QSqlQuery q(impl_->db);
    q.setForwardOnly(true);
    // Newest first; among events of one moment, the last recorded first.
    q.prepare("SELECT time, zone, segment, text FROM events WHERE kind = ? "
              "ORDER BY time DESC, id DESC LIMIT ?");
    q.addBindValue(QString::fromUtf8(eventKindName(kind)));
    q.addBindValue(limit);
    if (!q.exec()) return impl_->failed(q.lastError());
    while (q.next()) {
        RunEvent e;
        e.time = q.value(0).toDouble();
        if (!q.value(1).isNull()) e.zone = q.value(1).toInt();
        e.kind = kind;
        e.segment = q.value(2).toInt();
        e.text = q.value(3).toString().toStdString();
        out.push_back(e);
    }
    if (q.lastError().isValid()) return impl_->failed(q.lastError());
    return out;
}

namespace {
std::string& storePath() {
    static std::string path = kRunStoreFile;
    return path;
}
} // namespace

const std::string& runStorePath() {
    return storePath();
}

void useRunStore(std::string path) {
    storePath() = std::move(path);
}
