#pragma once
// The Line panel's table of controllers. Each call may be made from any
// thread; the widgets are touched on the GUI thread.
#include "lines/row_text.h"

#include <optional>
#include <vector>

// A double click on a row selects it and runs Show, as the button does.
void wireLineTable(int panel);
// The rows as they are to be shown, in order; faults stand out.
void showLineRows(int panel, const std::vector<RowText>& rows);
// The id of the selected row, if one is.
std::optional<uint16_t> selectedLineId(int panel);
void selectLineRow(int panel, int row);
// The cells as shown, for tests and the screenshot's check.
std::vector<RowText> shownLineRows(int panel);
