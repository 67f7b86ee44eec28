#pragma once
// A run's report as a PDF (A4 portrait): a header (program, zones, start,
// end, outcome, batch), the run's chart, its segments against the plan, its
// energy and cost, and its events. Everything in it is computed by
// history/: the report lays out the same figures `q7 runs show` prints.
//
// It paints with Qt and draws the chart with Qt Charts, so it needs a
// QApplication (no window: the offscreen platform serves).
#include "history/run_history.h"

#include <QString>

#include <string>

// "412.0 kWh at 4.0 kW per zone. Cost 82.40 at 0.20 per kWh.", or why there
// is no energy figure: as the report and the Runs panel tell it.
QString energyText(const RunEnergy& energy);

// The PDF's bytes of a report loadRunReport read.
std::string runReportPdf(const RunReport& report);
