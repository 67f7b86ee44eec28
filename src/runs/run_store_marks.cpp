// Marks and live changes asked of a run by another process (`q7 run --mark
// TEXT`, `--skip`, `--extend H:MM`), through the store as a stop is: the
// request waits in mark_requests or change_requests until the process that
// drives the run records it among its events (a change done or refused)
// and takes it. A field asked for this way waits in mark_requests too, its
// text led by kFieldRequest: a mark's text never holds a control character,
// so neither is taken for the other.
#include "runs/run_store_impl.h"

namespace {

// Adds a request to table for run id while the run has not ended, each a
// durable write of its own: a request is the operator's word. Its id, or
// nothing with why.
std::optional<long long> askOfRun(RunStore::Impl& s, long long id, const QString& table,
                                  const QString& columns, const QVariantList& values,
                                  std::string* why) {
    long long request = 0;
    const bool ok = transaction(s, true, why, [&](std::string& failure) {
        QSqlQuery q(s.db);
        q.prepare("INSERT INTO " + table + " (run_id, " + columns + ") SELECT id" +
                  QString(", ?").repeated(values.size()) +
                  " FROM runs WHERE id = ? AND phase != 'ended'");
        for (const QVariant& v : values)
            q.addBindValue(v);
        q.addBindValue(id);
        if (!q.exec()) {
            failure = sqlText(q.lastError());
            return false;
        }
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

// Marks a request of table taken, with what else `set` (", col = ?")
// records of it, once.
bool takeRequest(RunStore::Impl& s, const QString& table, long long request, double now,
                 const QString& set, const QVariantList& values, std::string* why) {
    return transaction(s, true, why, [&](std::string& failure) {
        QSqlQuery q(s.db);
        q.prepare("UPDATE " + table + " SET taken = ?" + set + " WHERE id = ? AND taken IS NULL");
        q.addBindValue(now);
        for (const QVariant& v : values)
            q.addBindValue(v);
        q.addBindValue(request);
        if (q.exec()) return true;
        failure = sqlText(q.lastError());
        return false;
    });
}

// The requests of run id in table not yet taken, oldest first, each as
// `row` makes it of the query's columns; nothing for a row it declines.
template <class T, class Row>
StoreRead<std::vector<T>> untakenRequests(RunStore::Impl& s, long long id, const QString& columns,
                                          const QString& table, Row row) {
    QSqlQuery q(s.db);
    q.prepare("SELECT " + columns + " FROM " + table +
              " WHERE run_id = ? AND taken IS NULL ORDER BY id");
    q.addBindValue(id);
    if (!q.exec()) return s.failed(q.lastError());
    std::vector<T> out;
    while (q.next())
        if (std::optional<T> r = row(q)) out.push_back(std::move(*r));
    if (q.lastError().isValid()) return s.failed(q.lastError());
    return out;
}

// One request's row by its id, as `row` reads it, or `none` without one.
template <class T, class Row>
StoreRead<T> requestRow(RunStore::Impl& s, const QString& sql, long long id, T none, Row row) {
    QSqlQuery q(s.db);
    q.prepare(sql);
    q.addBindValue(id);
    if (!q.exec()) return s.failed(q.lastError());
    if (!q.next()) {
        if (q.lastError().isValid()) return s.failed(q.lastError());
        return none;
    }
    return row(q);
}

constexpr const char* kChangeNames[] = {"skip", "extend", "target", "rate"};

const char* changeName(RunStore::Change c) {
    return kChangeNames[int(c)];
}

// A full rate is a kind of its own, its row carrying no number.
constexpr const char* kFullRate = "full";

// The kind as the row names it; nothing for one a newer q7 asks for.
std::optional<RunStore::Change> changeOfName(const QString& name) {
    if (name == QLatin1String(kFullRate)) return RunStore::Change::rate;
    for (int i = 0; i < int(std::size(kChangeNames)); ++i)
        if (name == QLatin1String(kChangeNames[i])) return RunStore::Change(i);
    return std::nullopt;
}

// The one number a change carries, in the row's seconds: a target or a
// rate there too.
double changeValue(const RunStore::ChangeAsked& c) {
    if (c.change == RunStore::Change::skip || c.change == RunStore::Change::extend)
        return c.seconds;
    return c.value.value_or(0);
}

constexpr char kFieldRequest = '\x1f';

QString requestText(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

std::optional<long long> RunStore::requestMark(long long id, double now, const std::string& text,
                                               std::string* why) {
    return askOfRun(*impl_, id, "mark_requests", "asked, text", {now, requestText(text)}, why);
}

std::optional<long long> RunStore::requestField(long long id, double now, const RunField& field,
                                                std::string* why) {
    return requestMark(id, now, kFieldRequest + fieldText(field), why);
}

StoreRead<std::vector<RunStore::MarkAsked>> RunStore::marksAsked(long long id) {
    return untakenRequests<MarkAsked>(
        *impl_, id, "id, asked, text", "mark_requests", [](QSqlQuery& q) {
            MarkAsked m{q.value(0).toLongLong(), q.value(1).toDouble(),
                        q.value(2).toString().toStdString()};
            if (!m.text.empty() && m.text.front() == kFieldRequest) {
                m.text.erase(0, 1);
                m.field = true;
            }
            return std::optional<MarkAsked>(std::move(m));
        });
}

bool RunStore::takeMark(long long request, double now, std::string* why) {
    return takeRequest(*impl_, "mark_requests", request, now, "", {}, why);
}

StoreRead<bool> RunStore::markTaken(long long id) {
    return requestRow(*impl_, "SELECT taken IS NOT NULL FROM mark_requests WHERE id = ?", id, false,
                      [](QSqlQuery& q) { return q.value(0).toBool(); });
}

std::optional<long long> RunStore::requestChange(long long id, double now,
                                                 const ChangeAsked& change, std::string* why) {
    return askOfRun(
        *impl_, id, "change_requests", "asked, kind, seconds, who",
        {now,
         QString(change.change == Change::rate && !change.value ? kFullRate
                                                                : changeName(change.change)),
         changeValue(change), requestText(change.who)},
        why);
}

StoreRead<std::vector<RunStore::ChangeAsked>> RunStore::changesAsked(long long id) {
    return untakenRequests<ChangeAsked>(
        *impl_, id, "id, asked, kind, seconds, who", "change_requests",
        [](QSqlQuery& q) -> std::optional<ChangeAsked> {
            // A kind a newer q7 asks for is not this one's to take.
            const auto kind = changeOfName(q.value(2).toString());
            if (!kind) return std::nullopt;
            ChangeAsked c{q.value(0).toLongLong(), q.value(1).toDouble(), *kind,
                          q.value(3).toDouble(), q.value(4).toString().toStdString()};
            if (*kind == Change::target || *kind == Change::rate) {
                c.seconds = 0;
                if (q.value(2).toString() != QLatin1String(kFullRate))
                    c.value = q.value(3).toDouble();
            }
            return std::optional<ChangeAsked>(std::move(c));
        });
}

bool RunStore::takeChange(long long request, double now, const std::string& refused,
                          std::string* why) {
    return takeRequest(*impl_, "change_requests", request, now, ", refused = ?",
                       {refused.empty() ? QVariant(QMetaType::fromType<QString>())
                                        : QVariant(requestText(refused))},
                       why);
}

StoreRead<RunStore::ChangeTaken> RunStore::changeTaken(long long id) {
    return requestRow(
        *impl_, "SELECT taken IS NOT NULL, refused FROM change_requests WHERE id = ?", id,
        ChangeTaken{}, [](QSqlQuery& q) {
            return ChangeTaken{q.value(0).toBool(), q.value(1).toString().toStdString()};
        });
}
