#pragma once
// The traffic panel's table and statistics, and the line-health indicator
// on the main panel. Rows reach the table in batches: the tap wakes the GUI
// once, and a pickup at most every 100 ms takes everything that came, so a
// burst of frames costs the GUI thread one model update, not one per frame.
// Each call below may be made from any thread; it runs on the GUI thread.
#include "traffic/traffic_row.h"

#include <vector>

class Controller;

// Puts the table on the loaded panel and starts keeping rows.
void setUpTrafficPanel(Controller& c, int panel);

// The table stops taking rows and shows what it has; frames are still
// counted, traced and kept (the newest kKeptRows) for when it goes on.
void setTrafficPaused(bool paused);
void setTrafficFailuresOnly(bool failuresOnly);
// Empties the table, and drops the rows waiting for it.
void clearTrafficTable();
// The rows the table holds, oldest first, whatever the filter shows.
std::vector<TrafficRow> trafficTableRows();
void refreshTrafficStatistics();

// For tests and benchmarks: the pickup done now, and the rows on show.
void pickUpTrafficNow();
int trafficRowsShown();
