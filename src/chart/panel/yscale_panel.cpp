#include "chart/panel/yscale_panel.h"

#include "chart/panel/chart.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/yscale_file.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

// A range field means nothing while the chart scales itself.
void dimRangeFields(bool autoScale) {
    SetCtrlAttribute(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric, ATTR_DIMMED,
                     autoScale);
    SetCtrlAttribute(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, ATTR_DIMMED,
                     autoScale);
}

void showScaleInFields(const ChartScale& s) {
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric, s.yMax);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, s.yMin);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::pointsNumeric, int(s.pointsPerScreen));
    const bool autoScale = s.autoScale.value_or(true);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::autoScaleSwitch, autoScale ? 1 : 0);
    dimRangeFields(autoScale);
}

ChartScale scaleInFields() {
    ChartScale s;
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric, &s.yMax);
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, &s.yMin);
    int points = 0;
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::pointsNumeric, &points);
    s.pointsPerScreen = points;
    int autoScale = 1;
    GetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::autoScaleSwitch, &autoScale);
    s.autoScale = autoScale != 0;
    return s;
}

// "12.5" rather than "12.500000", on every desktop.
std::string numberText(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string rangeProblem(const ChartScale& s) {
    return "Y minimum (" + numberText(s.yMin) + ") must be below Y maximum (" + numberText(s.yMax) +
           ").";
}

// Puts the scale on the chart; false when the chart refused its range.
bool putOnChart(const ChartScale& s) {
    const int mode = s.autoScale.value_or(true) ? VAL_AUTOSCALE : VAL_MANUAL;
    // The chart refuses a fixed range that is upside down, and keeps its
    // scaling as it was; auto-scaling needs no range.
    const bool ranged = SetAxisScalingMode(ChartPanel::handle, ChartPanel::stripChart,
                                           VAL_LEFT_YAXIS, mode, s.yMin, s.yMax) == 0 &&
                        s.yMin < s.yMax;
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN,
                     s.pointsPerScreen);
    return ranged;
}

} // namespace

void applyScaleToChart(ChartState& chart) {
    ChartScale& s = chart.scale;
    if (!putOnChart(s)) {
        MessagePopup("Y Scale Error", std::string(kYScaleFile) + " holds a Y range the chart " +
                                          "cannot show: " + rangeProblem(s) +
                                          "\nThe chart keeps the range it had.");
        const auto points = s.pointsPerScreen;
        readScaleFromChart(chart);
        s.pointsPerScreen = points;
    }
    showScaleInFields(s);
}

void readScaleFromChart(ChartState& chart) {
    ChartScale& s = chart.scale;
    int mode = 0;
    GetAxisScalingMode(ChartPanel::handle, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &s.yMin,
                       &s.yMax);
    s.autoScale = mode == VAL_AUTOSCALE;
    double points = 0;
    GetCtrlAttribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN, &points);
    s.pointsPerScreen = int32_t(std::lround(points));
    chart.scaleKnown = true;
}

int ChgYScale(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    readScaleFromChart(chart.state);
    DisplayPanel(ChartYscalePanel::handle);
    showScaleInFields(chart.state.scale);
    chart.state.fieldsAtOpening = scaleInFields();
    return 0;
}

int SetYAutoScale(int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 1;
    GetCtrlVal(panel, control, &on);
    dimRangeFields(on != 0);
    return 0;
}

int CloseYscale(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    // A field the operator left alone keeps the exact value behind it, which
    // the field may show rounded or not hold at all; with nothing changed
    // the chart and the scale file stay exactly as they are.
    const ChartScale typed = scaleInFields();
    const ChartScale& shown = chart.state.fieldsAtOpening;
    chart.state.scaleKnown = true;
    if (typed == shown) {
        HidePanel(ChartYscalePanel::handle);
        return 0;
    }
    ChartScale s = chart.state.scale;
    if (typed.yMax != shown.yMax) s.yMax = typed.yMax;
    if (typed.yMin != shown.yMin) s.yMin = typed.yMin;
    if (typed.pointsPerScreen != shown.pointsPerScreen) s.pointsPerScreen = typed.pointsPerScreen;
    s.autoScale = typed.autoScale;
    // An upside-down range is not turned into some other one: the panel
    // stays open with the values typed, for the operator to correct.
    if (!(s.yMin < s.yMax)) {
        MessagePopup("Y Scale Error", rangeProblem(s) +
                                          "\nThe chart keeps its scale; correct the values and "
                                          "close again.");
        return 0;
    }
    HidePanel(ChartYscalePanel::handle);
    chart.state.scale = s;
    putOnChart(s);
    // The chart already shows the new scale; a file that cannot be written
    // only means the next run starts from the old one.
    std::string why;
    if (!writeYScaleFile(kYScaleFile, s, &why))
        std::fprintf(stderr, "q7: %s not saved: %s\n", kYScaleFile, why.c_str());
    return 0;
}
