#pragma once
// What the chart's panels (the chart, its Y scale and the log setup) work
// with: the controller they read, the data log they write, and what they
// keep between their callbacks. The program makes one and binds the panels'
// callbacks to it.
#include "chart/chart_state.h"

class Controller;
class DataLog;

struct Chart {
    Controller& controller;
    DataLog& log;
    ChartState state;
};
