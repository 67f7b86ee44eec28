#pragma once
// The Line panel's table of controllers. GUI thread.
#include "lines/row_text.h"

#include <optional>
#include <vector>

class QTableWidget;

// Its columns, as wide as their values need.
void setUpLineTable(QTableWidget& table);
// The rows as they are to be shown, in order; faults stand out.
void showLineRows(QTableWidget& table, const std::vector<RowText>& rows);
// The id of the selected row, if one is.
std::optional<uint16_t> selectedLineId(const QTableWidget& table);
// The cells as shown.
std::vector<RowText> shownLineRows(const QTableWidget& table);
