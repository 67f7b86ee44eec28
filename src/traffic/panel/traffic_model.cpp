#include "traffic/panel/traffic_model.h"

#include "base/number_text.h"

#include <QBrush>
#include <QColor>

namespace {

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

QVariant display(const TrafficRow& row, int column) {
    switch (column) {
    case TrafficModel::timeColumn:
        return text(clockTime(row.wallMs));
    case TrafficModel::directionColumn:
        return row.tx ? QStringLiteral("TX") : QStringLiteral("RX");
    case TrafficModel::bytesColumn:
        return text(hexText(row.bytes));
    case TrafficModel::meaningColumn:
        return text(row.meaning);
    case TrafficModel::roundTripColumn:
        return row.roundTripMs < 0 ? QString() : text(formatFixed(row.roundTripMs, 1));
    case TrafficModel::verdictColumn:
        return QString::fromLatin1(verdictText(row.verdict));
    case TrafficModel::attemptColumn:
        return row.attempt;
    }
    return {};
}

} // namespace

TrafficModel::TrafficModel(std::size_t capacity, QObject* parent)
    : QAbstractTableModel(parent), capacity_(capacity) {}

int TrafficModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(rows_.size())) return {};
    const TrafficRow& row = rows_[std::size_t(index.row())];
    const bool failed = isFailure(row.verdict);
    switch (role) {
    case Qt::DisplayRole:
        return display(row, index.column());
    case failedRole:
        return failed;
    // A failed exchange is red on pink, both rows of it, whatever the theme.
    case Qt::BackgroundRole:
        return failed ? QBrush(QColor(255, 215, 215)) : QVariant();
    case Qt::ForegroundRole:
        return failed ? QBrush(QColor(150, 0, 0)) : QVariant();
    case Qt::TextAlignmentRole:
        return index.column() == roundTripColumn || index.column() == attemptColumn
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
    }
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const names[] = {"Time",    "Dir",    "Bytes", "Meaning", "Round trip (ms)",
                                        "Verdict", "Attempt"};
    return section >= 0 && section < columnCount_ ? QString::fromUtf8(names[section]) : QVariant();
}

int TrafficModel::append(std::vector<TrafficRow> rows) {
    if (rows.empty()) return 0;
    // Rows that would leave again at once are never shown.
    if (rows.size() > capacity_) rows.erase(rows.begin(), rows.end() - std::ptrdiff_t(capacity_));
    const std::size_t over =
        rows_.size() + rows.size() > capacity_ ? rows_.size() + rows.size() - capacity_ : 0;
    if (over > 0) {
        beginRemoveRows({}, 0, int(over) - 1);
        rows_.erase(rows_.begin(), rows_.begin() + std::ptrdiff_t(over));
        endRemoveRows();
    }
    const int first = int(rows_.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    for (TrafficRow& row : rows)
        rows_.push_back(std::move(row));
    endInsertRows();
    return int(over);
}

void TrafficModel::clear() {
    beginResetModel();
    rows_.clear();
    endResetModel();
}

void FailuresFilter::setFailuresOnly(bool on) {
    if (on == failuresOnly_) return;
    failuresOnly_ = on;
    invalidateFilter();
}

bool FailuresFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (!failuresOnly_) return true;
    return sourceModel()->index(sourceRow, 0, sourceParent).data(TrafficModel::failedRole).toBool();
}
