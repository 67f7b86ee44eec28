// The strip chart calls of the panel service.
#include "runtime/gui_call.h"
#include "runtime/panel_runtime.h"
#include "runtime/panel_table.h"
#include "runtime/strip_chart.h"

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

int SetAxisScalingMode(int panel, CtrlId chart, int axis, int mode, double min, double max) {
    if (axis != VAL_LEFT_YAXIS) return kPanelBadAttribute;
    return withChart(panel, chart, "SetAxisScalingMode", [&](StripChart* c) {
        c->setAutoscale(mode == VAL_AUTOSCALE);
        if (mode == VAL_MANUAL) c->setYRange(min, max);
        return 0;
    });
}

int GetAxisScalingMode(int panel, CtrlId chart, int axis, int* mode, double* min, double* max) {
    if (axis != VAL_LEFT_YAXIS) return kPanelBadAttribute;
    return withChart(panel, chart, "GetAxisScalingMode", [&](StripChart* c) {
        if (mode) *mode = c->autoscale() ? VAL_AUTOSCALE : VAL_MANUAL;
        if (min) *min = c->yMin();
        if (max) *max = c->yMax();
        return 0;
    });
}
