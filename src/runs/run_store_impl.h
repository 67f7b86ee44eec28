#pragma once
// The run store's connection and its prepared statements, shared by the
// files that open it (run_store_schema.cpp) and use it (run_store.cpp).
#include "runs/run_store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <optional>
#include <string>

struct RunStore::Impl {
    QString connection;
    std::string path;
    std::string notice;
    QSqlDatabase db;
    std::optional<QSqlQuery> insertSample, insertEvent, updateRun, updateZone;

    ~Impl();
    // Runs sql; false, with why, when it fails.
    bool exec(const QString& sql, std::string* why);
    bool prepare();
};

inline std::string sqlText(const QSqlError& e) {
    const QString text = e.text().trimmed();
    return text.isEmpty() ? std::string("unknown error") : text.toStdString();
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
