// Marks and live changes asked of a run by another process (`q7 run --mark
// TEXT`, `--skip`, `--extend H:MM`), through the store as a stop is: the
// request waits in mark_requests or change_requests until the process that
// drives the run records it among its events (a change done or refused)
// and takes it.
#include "runs/run_store_impl.h"

namespace {

// One durable write of its own: a mark is the operator's word.
template <class Body> bool markWrite(RunStore::Impl& s, std::string* why, Body body) {
    if (s.use == RunStore::Use::read) {
        if (why) *why = s.path + " was opened to read; nothing is written to it";
        return false;
    }
    std::string failure;
    s.exec("PRAGMA synchronous=FULL", nullptr);
    bool ok = s.exec("BEGIN IMMEDIATE", &failure);
    if (ok) {
        QSqlQuery q(s.db);
        ok = body(q);
        if (!ok) failure = sqlText(q.lastError());
        ok = ok && s.exec("COMMIT", &failure);
        if (!ok) s.exec("ROLLBACK", nullptr);
    }
    s.exec("PRAGMA synchronous=NORMAL", nullptr);
    if (!ok && why) *why = s.path + ": " + failure;
    return ok;
}

} // namespace

std::optional<long long> RunStore::requestMark(long long id, double now, const std::string& text,
                                               std::string* why) {
    long long request = 0;
    const bool ok = markWrite(*impl_, why, [&](QSqlQuery& q) {
        q.prepare("INSERT INTO mark_requests (run_id, asked, text) SELECT id, ?, ? FROM runs "
                  "WHERE id = ? AND phase != 'ended'");
        q.addBindValue(now);
        q.addBindValue(QString::fromStdString(text));
        q.addBindValue(id);
        if (!q.exec()) return false;
        request = q.numRowsAffected() > 0 ? q.lastInsertId().toLongLong() : 0;
        return true;
    });
    if (!ok) return std::nullopt;
    if (request == 0) {
        if (why) *why = "the run has ended";
        return std::nullopt;
    }
    return request;
}

StoreRead<std::vector<RunStore::MarkAsked>> RunStore::marksAsked(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT id, asked, text FROM mark_requests WHERE run_id = ? AND taken IS NULL "
              "ORDER BY id");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    std::vector<MarkAsked> out;
    while (q.next())
        out.push_back(
            {q.value(0).toLongLong(), q.value(1).toDouble(), q.value(2).toString().toStdString()});
    if (q.lastError().isValid()) return impl_->failed(q.lastError());
    return out;
}

bool RunStore::takeMark(long long request, double now, std::string* why) {
    return markWrite(*impl_, why, [&](QSqlQuery& q) {
        q.prepare("UPDATE mark_requests SET taken = ? WHERE id = ? AND taken IS NULL");
        q.addBindValue(now);
        q.addBindValue(request);
        return q.exec();
    });
}

StoreRead<bool> RunStore::markTaken(long long request) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT taken IS NOT NULL FROM mark_requests WHERE id = ?");
    q.addBindValue(request);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return false;
    }
    return q.value(0).toBool();
}

namespace {

const char* changeName(RunStore::Change c) {
    return c == RunStore::Change::skip ? "skip" : "extend";
}

} // namespace

std::optional<long long> RunStore::requestChange(long long id, double now,
                                                 const ChangeAsked& change, std::string* why) {
    long long request = 0;
    const bool ok = markWrite(*impl_, why, [&](QSqlQuery& q) {
        q.prepare("INSERT INTO change_requests (run_id, asked, kind, seconds, who) "
                  "SELECT id, ?, ?, ?, ? FROM runs WHERE id = ? AND phase != 'ended'");
        q.addBindValue(now);
        q.addBindValue(QString(changeName(change.change)));
        q.addBindValue(change.seconds);
        q.addBindValue(QString::fromStdString(change.who));
        q.addBindValue(id);
        if (!q.exec()) return false;
        request = q.numRowsAffected() > 0 ? q.lastInsertId().toLongLong() : 0;
        return true;
    });
    if (!ok) return std::nullopt;
    if (request == 0) {
        if (why) *why = "the run has ended";
        return std::nullopt;
    }
    return request;
}

StoreRead<std::vector<RunStore::ChangeAsked>> RunStore::changesAsked(long long id) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT id, asked, kind, seconds, who FROM change_requests WHERE run_id = ? AND "
              "taken IS NULL ORDER BY id");
    q.addBindValue(id);
    if (!q.exec()) return impl_->failed(q.lastError());
    std::vector<ChangeAsked> out;
    while (q.next()) {
        const QString kind = q.value(2).toString();
        // A kind a newer q7 asks for is not this one's to take.
        if (kind != "skip" && kind != "extend") continue;
        out.push_back({q.value(0).toLongLong(), q.value(1).toDouble(),
                       kind == "skip" ? Change::skip : Change::extend, q.value(3).toDouble(),
                       q.value(4).toString().toStdString()});
    }
    if (q.lastError().isValid()) return impl_->failed(q.lastError());
    return out;
}

bool RunStore::takeChange(long long request, double now, const std::string& refused,
                          std::string* why) {
    return markWrite(*impl_, why, [&](QSqlQuery& q) {
        q.prepare(
            "UPDATE change_requests SET taken = ?, refused = ? WHERE id = ? AND taken IS NULL");
        q.addBindValue(now);
        q.addBindValue(refused.empty() ? QVariant(QMetaType::fromType<QString>())
                                       : QVariant(QString::fromStdString(refused)));
        q.addBindValue(request);
        return q.exec();
    });
}

StoreRead<RunStore::ChangeTaken> RunStore::changeTaken(long long request) {
    QSqlQuery q(impl_->db);
    q.prepare("SELECT taken IS NOT NULL, refused FROM change_requests WHERE id = ?");
    q.addBindValue(request);
    if (!q.exec()) return impl_->failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return impl_->failed(q.lastError());
        return ChangeTaken{};
    }
    return ChangeTaken{q.value(0).toBool(), q.value(1).toString().toStdString()};
}
