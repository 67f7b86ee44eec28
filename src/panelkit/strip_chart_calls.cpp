// The strip chart calls of the panel service.
#include "panelkit/strip_chart_calls.h"
#include "panelkit/gui_call.h"
#include "panelkit/panel_runtime.h"
#include "panelkit/panel_table.h"
#include "widgets/strip_chart/strip_chart.h"

namespace {
template <class F> int withChart(int panel, CtrlId chart, const char* caller, F&& f) {
    return onGui([&] {
        QWidget* w = findControl(panel, chart, caller);
        if (!w) return int(kPanelNoControl);
        auto* c = qobject_cast<StripChart*>(w);
        if (!c) return int(kPanelBadValue);
        return f(c);
    });
}
} // namespace

int PlotStripChart(int panel, CtrlId chart, const float* values, int count, double sampleTime) {
    return withChart(panel, chart, "PlotStripChart", [&](StripChart* c) {
        if (values && count > 0) c->plot(values, count, sampleTime);
        return 0;
    });
}

int ClearStripChart(int panel, CtrlId chart) {
    return withChart(panel, chart, "ClearStripChart", [](StripChart* c) {
        c->clear();
        return 0;
    });
}

int BreakStripChart(int panel, CtrlId chart) {
    return withChart(panel, chart, "BreakStripChart", [](StripChart* c) {
        c->breakTraces();
        return 0;
    });
}

// An empty or upside-down range is refused and changes nothing: the chart
// keeps the range and scaling it had. Auto-scaling keeps a good range given
// with it for when it is turned off.
int SetAxisScalingMode(int panel, CtrlId chart, int axis, int mode, double min, double max) {
    if (axis != VAL_LEFT_YAXIS) return kPanelBadAttribute;
    return withChart(panel, chart, "SetAxisScalingMode", [&](StripChart* c) {
        const bool ranged = c->setYRange(min, max);
        if (mode == VAL_MANUAL && !ranged) return int(kPanelBadValue);
        c->setAutoscale(mode == VAL_AUTOSCALE);
        return 0;
    });
}

int GetAxisScalingMode(int panel, CtrlId chart, int axis, int* mode, double* min, double* max) {
    if (axis != VAL_LEFT_YAXIS) return kPanelBadAttribute;
    return withChart(panel, chart, "GetAxisScalingMode", [&](StripChart* c) {
        // The range shown now, auto-scaled or not.
        const ValueScale shown = c->shownScale();
        if (mode) *mode = c->autoscale() ? VAL_AUTOSCALE : VAL_MANUAL;
        if (min) *min = shown.min;
        if (max) *max = shown.max;
        return 0;
    });
}

int SaveStripChartImage(int panel, CtrlId chart, const std::string& path, std::string* why) {
    return withChart(panel, chart, "SaveStripChartImage", [&](StripChart* c) {
        QString reason;
        if (c->saveImage(QString::fromStdString(path), &reason)) return 0;
        if (why) *why = reason.toStdString();
        return int(kPanelBadValue);
    });
}

int SetStripChartUnit(int panel, CtrlId chart, const std::string& unit) {
    return withChart(panel, chart, "SetStripChartUnit", [&](StripChart* c) {
        c->setUnit(QString::fromStdString(unit));
        return 0;
    });
}
