#pragma once
// Draws a run's PDF report for `q7 runs report`, in the panels' program,
// which links what painting and charts need.
#include "history/run_history.h"

#include <string>

// The PDF's bytes. With no application object yet (a command runs before
// any window is opened) it makes one on the offscreen platform, so a report
// needs no display and never opens or waits for one.
std::string drawRunReport(const RunReport& report);
