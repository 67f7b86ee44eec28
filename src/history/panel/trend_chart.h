#pragma once
// The small chart of a program's ramps, firing after firing: one line per
// ramp, the time it took against the batch; and what it says in words.
#include "history/panel/runs_reader.h"

#include <QString>

class QChart;

void drawTrend(QChart& chart, const ProgramTrend& trend);
// Which ramps are getting slower, plainly; or that none is.
QString trendVerdict(const ProgramTrend& trend);
