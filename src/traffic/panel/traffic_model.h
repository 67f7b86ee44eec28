#pragma once
// The rows the traffic panel shows, newest last, at most kKeptRows: older
// rows leave at the top as new ones come, so memory stays flat however long
// the program runs. Needs no widget; the panel puts a view on it.
#include "traffic/traffic_row.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <deque>

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        timeColumn,
        directionColumn,
        bytesColumn,
        meaningColumn,
        roundTripColumn,
        verdictColumn,
        attemptColumn,
        columnCount_
    };
    // True for the rows of an exchange that brought no usable reply.
    static constexpr int failedRole = Qt::UserRole + 1;

    explicit TrafficModel(std::size_t capacity, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Returns how many rows left at the top to make room.
    int append(std::vector<TrafficRow> rows);
    void clear();
    const std::deque<TrafficRow>& rows() const { return rows_; }

  private:
    std::size_t capacity_;
    std::deque<TrafficRow> rows_;
};

// Every row, or the failed ones only.
class FailuresFilter : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setFailuresOnly(bool on);
    bool failuresOnly() const { return failuresOnly_; }

  protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

  private:
    bool failuresOnly_ = false;
};
