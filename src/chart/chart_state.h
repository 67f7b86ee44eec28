#pragma once
#include <cstdint>
#include <optional>

// The chart's Y range and width, as kept in the scale file, and whether it
// scales itself to the data (not known from a file that does not say).
struct ChartScale {
    double yMax = 0.0;
    double yMin = 0.0;
    int32_t pointsPerScreen = 0;
    std::optional<bool> autoScale = std::nullopt;

    bool operator==(const ChartScale&) const = default;
};

// What the chart's panels keep between their callbacks.
struct ChartState {
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
    // The unit code the chart's axis names now; -1 before it names one.
    int unitShown = -1;
};
