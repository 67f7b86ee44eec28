#pragma once
// Registers the callbacks of this subsystem by the names the panel files use.

struct Chart;
void registerChartCallbacks(Chart& chart);
