#include "lines/panel/line_table.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QTableWidget>

namespace {

// Pale red with dark text: a fault stands out on any desktop theme and in
// a grey-scale print of the screen, where the bold state cell still tells it.
const QColor kFaultBackground(255, 205, 205);
const QColor kFaultText(120, 0, 0);

void setCell(QTableWidget* t, int row, int column, const std::string& text, bool fault) {
    QTableWidgetItem* item = t->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        t->setItem(row, column, item);
    }
    const QString shown = QString::fromStdString(text);
    if (item->text() != shown) item->setText(shown);
    if (column != stateColumn && column != idColumn && column != modelColumn)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setBackground(fault ? QBrush(kFaultBackground) : QBrush());
    item->setForeground(fault ? QBrush(kFaultText) : QBrush());
    QFont font = item->font();
    font.setBold(fault && column == stateColumn);
    item->setFont(font);
}

} // namespace

void setUpLineTable(QTableWidget& t) {
    t.verticalHeader()->setVisible(false);
    t.horizontalHeader()->setStretchLastSection(true);
    // Narrow value columns leave the state, which says why a row is red, its room.
    const int widths[] = {40, 50, 75, 75, 80, 75, 80};
    for (int c = 0; c < stateColumn; ++c)
        t.setColumnWidth(c, widths[c]);
}

void showLineRows(QTableWidget& t, const std::vector<RowText>& rows) {
    if (t.rowCount() != int(rows.size())) t.setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < lineColumnCount; ++c)
            setCell(&t, r, c, rows[r].cells[c], rows[r].fault);
}

std::optional<uint16_t> selectedLineId(const QTableWidget& t) {
    if (t.currentRow() < 0 || !t.item(t.currentRow(), idColumn)) return std::nullopt;
    bool ok = false;
    const int id = t.item(t.currentRow(), idColumn)->text().toInt(&ok);
    if (!ok) return std::nullopt;
    return uint16_t(id);
}

std::vector<RowText> shownLineRows(const QTableWidget& t) {
    std::vector<RowText> rows;
    for (int r = 0; r < t.rowCount(); ++r) {
        RowText row;
        for (int c = 0; c < lineColumnCount; ++c)
            if (const QTableWidgetItem* item = t.item(r, c))
                row.cells[c] = item->text().toStdString();
        const QTableWidgetItem* state = t.item(r, stateColumn);
        row.fault = state && state->font().bold();
        rows.push_back(row);
    }
    return rows;
}
