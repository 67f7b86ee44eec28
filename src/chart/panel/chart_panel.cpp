#include "chart/panel/chart_panel.h"

#include "chart/data_log.h"
#include "chart/panel/chart.h"
#include "chart/panel/chart_help.h"
#include "chart/panel/chart_unit.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/log_setup.h"
#include "chart/panel/yscale_panel.h"
#include "chart/yscale_file.h"
#include "link/controller.h"
#include "link/line.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "monitor/live_reads.h"
#include "monitor/panel/pv_note.h"
#include "monitor/panel/pv_polling.h"

#include <cmath>

namespace {

void setChartTimer(int on) {
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_ENABLED, on);
}

// A dimmed indicator holds an older reading than the controller's.
void markReadingsStale(bool stale) {
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::svIndicator, ATTR_DIMMED, stale ? 1 : 0);
    SetCtrlAttribute(ChartPanel::handle, ChartPanel::pvIndicator, ATTR_DIMMED, stale ? 1 : 0);
}

} // namespace

int OpenChartPanel(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    ChartState& s = chart.state;
    // Opened again while it plots, the chart goes on: a Plot button showing
    // on over a stopped timer would leave the operator with no live PV at all.
    if (!s.plotOn) setChartTimer(0);
    // Until a scale file or the Y-scale panel says otherwise, the chart
    // keeps the range and width its panel file gives it.
    if (!s.scaleKnown) readScaleFromChart(s);
    readYScaleFile(kYScaleFile, s.scale);
    DisplayPanel(ChartPanel::handle);
    showChartUnit(chart);
    applyScaleToChart(s);
    return 0;
}

int Plot(Chart& chart, int panel, CtrlId control, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(chart_help::plotTitle, chart_help::plotText);
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    Controller& c = chart.controller;
    int32_t& plotOn = chart.state.plotOn;
    plotOn = on ? 1 : 0;
    if (plotOn) {
        // Only one timer reads PV at a time.
        MainPanelView::showPvReadSwitch(false, false);
        MainPanelView::setPvPolling(false);
        MainPanelView::dimPv(true);
        showPvNote(c, PvNote::chart);
    } else {
        resumePvPolling(c);
    }
    // Nothing was sampled while plotting was off: the line does not bridge it.
    if (plotOn) BreakStripChart(ChartPanel::handle, ChartPanel::stripChart);
    setChartTimer(plotOn);
    showLogSwitchFor(plotOn);
    if (chart.log.on()) SetCtrlVal(ChartPanel::handle, ChartPanel::loggingLed, plotOn);
    return 0;
}

int GetData(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_TIMER_TICK) return 0;
    // A tick queued just before Plot off or Exit must not plot or log after it.
    if (!TimerRunning(ChartPanel::handle, ChartPanel::chartTimer)) return 0;
    Controller& c = chart.controller;
    const bool up = c.line().linkUp();
    const std::optional<float> sv = up ? ReadSVSVOF(c) : std::optional<float>{};
    const std::optional<float> pv = up ? ReadPVPVOF(c) : std::optional<float>{};
    // Plotting or logging an old reading under a new time stamp would
    // falsify the record; the tick leaves a gap instead.
    if (!sv || !pv) {
        markReadingsStale(true);
        BreakStripChart(ChartPanel::handle, ChartPanel::stripChart);
        return 0;
    }
    const double sampleTime = SampleTime();
    const std::string time = TimeStr();
    int month = 0, day = 0, year = 0;
    GetSystemDate(&month, &day, &year);

    SetCtrlVal(ChartPanel::handle, ChartPanel::svIndicator, *sv);
    SetCtrlVal(ChartPanel::handle, ChartPanel::pvIndicator, *pv);
    markReadingsStale(false);
    // The unit may have been changed on the main panel since the last tick.
    showChartUnit(chart);
    const float sample[2] = {*sv, *pv};
    PlotStripChart(ChartPanel::handle, ChartPanel::stripChart, sample, 2, sampleTime);
    logLine(chart.log, formatLogLine(month, day, year, time, *sv, *pv));
    return 0;
}

int ClearChart(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) ClearStripChart(ChartPanel::handle, ChartPanel::stripChart);
    return 0;
}

int ChartExit(Chart& chart, int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK) MessagePopup(chart_help::exitTitle, chart_help::exitText);
    if (event != EVENT_COMMIT) return 0;
    int32_t& plotOn = chart.state.plotOn;
    if (plotOn) {
        plotOn = 0;
        resumePvPolling(chart.controller);
    }
    SetCtrlVal(ChartPanel::handle, ChartPanel::plotButton, plotOn);
    setChartTimer(plotOn);
    if (chart.log.on()) endLogging(chart.log);
    showLogSwitchFor(0);
    HidePanel(ChartPanel::handle);
    return 0;
}
