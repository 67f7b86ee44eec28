// Following the live edge, zooming, panning and returning to it, on chart
// times alone.
#include "widgets/strip_chart/strip_chart_viewport.h"

#include <gtest/gtest.h>

namespace {

void expectWindow(const ChartWindow& w, double left, double right) {
    EXPECT_DOUBLE_EQ(w.left, left);
    EXPECT_DOUBLE_EQ(w.right, right);
}

TEST(ChartViewport, FollowsTheNewestPointOneScreenWide) {
    ChartViewport v;
    v.setScreen(100);
    EXPECT_TRUE(v.following());
    expectWindow(v.window(0, 0), 0, 100);    // nothing plotted
    expectWindow(v.window(10, 50), 10, 110); // a screen fills from the left
    expectWindow(v.window(0, 500), 400, 500);
    v.setScreen(50); // points per screen changed
    expectWindow(v.window(0, 500), 450, 500);
    v.setScreen(0); // no such screen: the old one stays
    EXPECT_EQ(v.screen(), 50);
}

TEST(ChartViewport, WheelZoomsAboutThePointerAndLeavesTheLiveEdge) {
    ChartViewport v;
    v.setScreen(100);
    v.zoom(1, 0.5, 0, 500); // one notch in, mid-plot
    EXPECT_FALSE(v.following());
    expectWindow(v.window(0, 500), 410, 490); // 450 stays mid-plot
    expectWindow(v.window(0, 600), 410, 490); // new points do not move a browsed view

    v.zoom(-1, 0.0, 0, 600); // one notch out at the left edge
    expectWindow(v.window(0, 600), 410, 510);

    v.zoom(100, 0.5, 0, 600);
    EXPECT_DOUBLE_EQ(v.window(0, 600).span(), ChartViewport::kMinSpan);
    v.zoom(-100, 0.5, 0, 600);
    expectWindow(v.window(0, 600), 0, 600); // out to the whole run, no further

    // Before the first screen is full, zooming out stops at one screen.
    ChartViewport young;
    young.setScreen(100);
    young.zoom(-3, 1.0, 0, 30);
    expectWindow(young.window(0, 30), 0, 100);
}

TEST(ChartViewport, DragPansWithinTheRun) {
    ChartViewport v;
    v.setScreen(80);
    v.pan(-0.25, 0, 500); // dragged right by a quarter of the plot
    EXPECT_FALSE(v.following());
    expectWindow(v.window(0, 500), 400, 480);
    v.pan(-10, 0, 500);
    expectWindow(v.window(0, 500), 0, 80); // stops at the first point
    v.pan(10, 0, 500);
    expectWindow(v.window(0, 500), 420, 500); // stops at the newest point
    v.pan(0, 0, 500);
    expectWindow(v.window(0, 500), 420, 500);

    // A view wider than the run keeps all of it in sight.
    ChartViewport wide;
    wide.setScreen(100);
    wide.pan(0.5, 0, 30);
    expectWindow(wide.window(0, 30), 0, 100);
}

TEST(ChartViewport, DoubleClickReturnsToTheLiveEdgeAtOneScreen) {
    ChartViewport v;
    v.setScreen(100);
    v.zoom(2, 0.3, 0, 500);
    v.pan(-0.1, 0, 500);
    v.follow();
    EXPECT_TRUE(v.following());
    expectWindow(v.window(0, 700), 600, 700);
    // Zooming from there starts from the live screen.
    v.zoom(1, 1.0, 0, 700);
    expectWindow(v.window(0, 700), 620, 700);
}

} // namespace
