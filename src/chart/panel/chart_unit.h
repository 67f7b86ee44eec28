#pragma once
// Names on the chart's Y axis the unit the controller reports in, as the
// main panel's unit ring shows it; a code outside the table is named as the
// code. Does nothing while the unit is the one already named.

struct Chart;
void showChartUnit(Chart& chart);
