#include "lines/panel/line_table.h"

#include "lines/panel/ids/line_panel.h"
#include "panelkit/control_events.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_table.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHeaderView>
#include <QTableWidget>

namespace {

QTableWidget* table(int panel) {
    return qobject_cast<QTableWidget*>(lookupControl(panel, LinePanel::controllerTable));
}

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

void wireLineTable(int panel) {
    onGui([panel] {
        QTableWidget* t = table(panel);
        if (!t) return;
        t->verticalHeader()->setVisible(false);
        t->horizontalHeader()->setStretchLastSection(true);
        // Narrow value columns leave the state, which says why a row is red, its room.
        const int widths[] = {40, 50, 75, 75, 80, 75, 80};
        for (int c = 0; c < stateColumn; ++c)
            t->setColumnWidth(c, widths[c]);
        QObject::connect(t, &QTableWidget::cellDoubleClicked, t, [panel](int, int) {
            postControlEvent(panel, LinePanel::showButton, EVENT_COMMIT);
        });
    });
}

void showLineRows(int panel, const std::vector<RowText>& rows) {
    onGui([&] {
        QTableWidget* t = table(panel);
        if (!t) return;
        if (t->rowCount() != int(rows.size())) t->setRowCount(int(rows.size()));
        for (int r = 0; r < int(rows.size()); ++r)
            for (int c = 0; c < lineColumnCount; ++c)
                setCell(t, r, c, rows[r].cells[c], rows[r].fault);
    });
}

std::optional<uint16_t> selectedLineId(int panel) {
    return onGui([panel]() -> std::optional<uint16_t> {
        QTableWidget* t = table(panel);
        if (!t || t->currentRow() < 0 || !t->item(t->currentRow(), idColumn)) return std::nullopt;
        bool ok = false;
        const int id = t->item(t->currentRow(), idColumn)->text().toInt(&ok);
        if (!ok) return std::nullopt;
        return uint16_t(id);
    });
}

void selectLineRow(int panel, int row) {
    onGui([&] {
        if (QTableWidget* t = table(panel)) t->selectRow(row);
    });
}

std::vector<RowText> shownLineRows(int panel) {
    return onGui([panel] {
        std::vector<RowText> rows;
        QTableWidget* t = table(panel);
        if (!t) return rows;
        for (int r = 0; r < t->rowCount(); ++r) {
            RowText row;
            for (int c = 0; c < lineColumnCount; ++c)
                if (const QTableWidgetItem* item = t->item(r, c))
                    row.cells[c] = item->text().toStdString();
            const QTableWidgetItem* state = t->item(r, stateColumn);
            row.fault = state && state->font().bold();
            rows.push_back(row);
        }
        return rows;
    });
}
