#pragma once
#include <cstdint>

// The chart's Y range and width, as kept in the scale file.
struct ChartScale {
    double yMax = 0.0;
    double yMin = 0.0;
    int32_t pointsPerScreen = 0;
};

struct ChartState {
    float lastSV = 0.0f;
    int32_t plotOn = 0;
    ChartScale scale;
    // False until the scale has been taken from the chart panel's own
    // defaults, a file or the Y-scale panel.
    bool scaleKnown = false;
    // The interval knob's value when the log setup panel was last opened.
    double intervalAtOpening = 0.0;
    // What the Y-scale panel's fields showed when it was last opened: a
    // field still showing it was left alone.
    ChartScale fieldsAtOpening;
};
extern ChartState gChart;

// Resets the chart and the live values it plots.
void resetChartState();
