#include "chart/yscale_panel.h"

#include "chart/chart_state.h"
#include "chart/ids/chart_panel.h"
#include "chart/ids/chart_yscale_panel.h"
#include "chart/yscale_file.h"
#include "runtime/panel_handles.h"

#include <cmath>
#include <cstdio>

namespace {

void showScaleInFields() {
    const ChartScale& s = gChart.scale;
    SetCtrlVal(gPanels.yscale, ChartYscalePanel::yMaxNumeric, s.yMax);
    SetCtrlVal(gPanels.yscale, ChartYscalePanel::yMinNumeric, s.yMin);
    SetCtrlVal(gPanels.yscale, ChartYscalePanel::pointsNumeric, int(s.pointsPerScreen));
}

ChartScale scaleInFields() {
    ChartScale s;
    GetCtrlVal(gPanels.yscale, ChartYscalePanel::yMaxNumeric, &s.yMax);
    GetCtrlVal(gPanels.yscale, ChartYscalePanel::yMinNumeric, &s.yMin);
    int points = 0;
    GetCtrlVal(gPanels.yscale, ChartYscalePanel::pointsNumeric, &points);
    s.pointsPerScreen = points;
    return s;
}

} // namespace

void applyScaleToChart() {
    const ChartScale& s = gChart.scale;
    showScaleInFields();
    SetAxisScalingMode(gPanels.chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, s.yMin,
                       s.yMax);
    SetCtrlAttribute(gPanels.chart, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN,
                     s.pointsPerScreen);
}

void readScaleFromChart() {
    ChartScale& s = gChart.scale;
    int mode = 0;
    GetAxisScalingMode(gPanels.chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, &mode, &s.yMin,
                       &s.yMax);
    double points = 0;
    GetCtrlAttribute(gPanels.chart, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN, &points);
    s.pointsPerScreen = int32_t(std::lround(points));
    gChart.scaleKnown = true;
}

int ChgYScale(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    readScaleFromChart();
    DisplayPanel(gPanels.yscale);
    showScaleInFields();
    gChart.fieldsAtOpening = scaleInFields();
    return 0;
}

int CloseYscale(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    HidePanel(gPanels.yscale);
    // A field the operator left alone keeps the exact value behind it, which
    // the field may show rounded or not hold at all; with nothing changed
    // the chart and the scale file stay exactly as they are.
    const ChartScale typed = scaleInFields();
    const ChartScale& shown = gChart.fieldsAtOpening;
    ChartScale& s = gChart.scale;
    gChart.scaleKnown = true;
    if (typed.yMax == shown.yMax && typed.yMin == shown.yMin &&
        typed.pointsPerScreen == shown.pointsPerScreen)
        return 0;
    if (typed.yMax != shown.yMax) s.yMax = typed.yMax;
    if (typed.yMin != shown.yMin) s.yMin = typed.yMin;
    if (typed.pointsPerScreen != shown.pointsPerScreen) s.pointsPerScreen = typed.pointsPerScreen;
    SetAxisScalingMode(gPanels.chart, ChartPanel::stripChart, VAL_LEFT_YAXIS, VAL_MANUAL, s.yMin,
                       s.yMax);
    SetCtrlAttribute(gPanels.chart, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN,
                     s.pointsPerScreen);
    // The chart already shows the new scale; a file that cannot be written
    // only means the next run starts from the old one.
    std::string why;
    if (!writeYScaleFile(kYScaleFile, s, &why))
        std::fprintf(stderr, "q7: %s not saved: %s\n", kYScaleFile, why.c_str());
    return 0;
}
