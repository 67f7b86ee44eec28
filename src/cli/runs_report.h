#pragma once
// q7 runs report ID -o FILE.pdf: a run's report as a PDF. It is painted with
// Qt's painting and charts, which q7 itself does not link: q7 hands the
// command to the panels' program (app/launch.cpp), which sets the drawer as
// it starts and draws with no window.
#include "history/run_history.h"

#include <functional>
#include <string>

// The PDF's bytes of a report.
using RunReportDrawer = std::function<std::string(const RunReport&)>;
void setRunReportDrawer(RunReportDrawer drawer);

// Writes run id's report to path; the exit status.
int reportRun(long long id, const std::string& path);
