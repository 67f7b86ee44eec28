#pragma once
// The chart panel opened from the main panel, with the simulated controller
// answering SV 100.0 and PV 98.7 and the chart timer ticked by hand.
#include "chart/panel/ids/chart_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "monitor/link_fixture.h"
#include "widgets/strip_chart/strip_chart.h"

class ChartPanelTest : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        sim->setReg(0x0000, 1000); // SV 100.0
        sim->setReg(0x1000, 987);  // PV 98.7
    }
    void openChart() {
        commit(MainPanel::handle, MainPanel::chartButton);
        // The test ticks by hand.
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600);
    }
    void plot(int on) { setValueAndCommit(ChartPanel::handle, ChartPanel::plotButton, on); }
    void tick() {
        postTick(ChartPanel::handle, ChartPanel::chartTimer);
        ASSERT_TRUE(waitIdle());
    }
    StripChart* strip() {
        return qobject_cast<StripChart*>(controlWidget(ChartPanel::handle, ChartPanel::stripChart));
    }
    static double value(int panel, CtrlId c) {
        double v = 0;
        GetCtrlVal(panel, c, &v);
        return v;
    }
    static bool visible(int panel, CtrlId c) {
        double v = 0;
        GetCtrlAttribute(panel, c, ATTR_VISIBLE, &v);
        return v != 0;
    }
    static double attribute(int panel, CtrlId c, int attr) {
        double v = 0;
        GetCtrlAttribute(panel, c, attr, &v);
        return v;
    }
};
