// The chart panel's scale, picture and unit as the operator meets them:
// auto-scaling switched in the Y-scale panel and kept in the scale file, an
// upside-down range refused with a message, "Save Image..." writing a PNG,
// and the Y axis naming the controller's unit.
#include "chart/chart_fixture.h"
#include "chart/chart_state.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "params/params_state.h"

#include <QCategoryAxis>
#include <QImage>
#include <QWidget>

namespace {

class ChartViewPanelTest : public ChartPanelTest {
  protected:
    void openYScale() { commit(ChartPanel::handle, ChartPanel::yScaleButton); }
    void closeYScale() { commit(ChartYscalePanel::handle, ChartYscalePanel::closeButton); }
    static bool yScaleShown() {
        return controlWidget(ChartYscalePanel::handle, ChartYscalePanel::closeButton)
            ->window()
            ->isVisible();
    }
    bool popupSaying(const std::string& title, const std::string& words) const {
        for (const PopupRecord& p : popups.shown)
            if (p.title == title && p.text.find(words) != std::string::npos) return true;
        return false;
    }
    std::string head(const std::string& name, size_t n) const {
        return readFile(name).substr(0, n);
    }
};

const std::string kPng("\x89PNG\r\n\x1a\n", 8);

TEST_F(ChartViewPanelTest, AutoScaleIsTheDefaultAndItsChoiceIsKept) {
    openChart();
    EXPECT_TRUE(strip()->autoscale()) << "with no scale file";
    openYScale();
    EXPECT_EQ(value(ChartYscalePanel::handle, ChartYscalePanel::autoScaleSwitch), 1);
    EXPECT_TRUE(dimmed(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric));
    EXPECT_TRUE(dimmed(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric));
    setValueAndCommit(ChartYscalePanel::handle, ChartYscalePanel::autoScaleSwitch, 0);
    EXPECT_FALSE(dimmed(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric));
    closeYScale();
    EXPECT_FALSE(strip()->autoscale());
    EXPECT_EQ(readFile("XYscale.txt"), "200.000000 0.000000 300 0\n")
        << "the range shown, kept fixed";

    // The fourth number is the choice; an older file of three leaves it.
    const std::pair<std::string, bool> files[] = {
        {"150 20 300 1\n", true}, {"150 20 300\n", true},    {"150 20 300 0\n", false},
        {"150 20 300\n", false},  {"150 20 300 7\n", false},
    };
    for (const auto& [content, autoScale] : files) {
        SCOPED_TRACE(content);
        writeFile("XYscale.txt", content);
        openChart();
        EXPECT_EQ(strip()->autoscale(), autoScale);
        EXPECT_EQ(strip()->yMax(), 150);
        EXPECT_EQ(strip()->yMin(), 20);
        // Opened and closed unchanged, the file stays as it is.
        openYScale();
        closeYScale();
        EXPECT_EQ(readFile("XYscale.txt"), content);
    }
}

TEST_F(ChartViewPanelTest, AnUpsideDownRangeIsRefusedWithAMessage) {
    writeFile("XYscale.txt", "200 0 300 0\n");
    openChart();
    openYScale();
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric, 100.0);
    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, 150.0);
    closeYScale();
    EXPECT_TRUE(popupSaying("Y Scale Error", "Y minimum (150) must be below Y maximum (100)"));
    EXPECT_TRUE(yScaleShown()) << "left open for the operator to correct";
    EXPECT_EQ(strip()->yMin(), 0);
    EXPECT_EQ(strip()->yMax(), 200);
    EXPECT_EQ(readFile("XYscale.txt"), "200 0 300 0\n");

    SetCtrlVal(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric, 50.0);
    closeYScale();
    EXPECT_FALSE(yScaleShown());
    EXPECT_EQ(strip()->yMin(), 50);
    EXPECT_EQ(strip()->yMax(), 100);
    EXPECT_EQ(readFile("XYscale.txt"), "100.000000 50.000000 300 0\n");

    // One in the scale file is refused as well, and said so.
    popups.shown.clear();
    writeFile("XYscale.txt", "10 50 400 0\n");
    openChart();
    EXPECT_TRUE(popupSaying("Y Scale Error", "XYscale.txt"));
    EXPECT_EQ(strip()->yMin(), 50) << "the chart keeps the range it had";
    EXPECT_EQ(strip()->yMax(), 100);
    EXPECT_EQ(strip()->pointsPerScreen(), 400) << "the rest of the file is taken";
    openYScale();
    EXPECT_EQ(value(ChartYscalePanel::handle, ChartYscalePanel::yMaxNumeric), 100);
    EXPECT_EQ(value(ChartYscalePanel::handle, ChartYscalePanel::yMinNumeric), 50);
}

TEST_F(ChartViewPanelTest, SaveImageWritesAPngWhereTheOperatorChose) {
    openChart();
    plot(1);
    for (int i = 0; i < 3; ++i)
        tick();
    // A name typed without the extension gets it.
    popups.files.emplace_back(VAL_NEW_FILE_SELECTED, workDir + "/run1");
    commit(ChartPanel::handle, ChartPanel::saveImageButton);
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().kind, "file");
    EXPECT_EQ(popups.shown.back().title, "Save Chart Image");
    EXPECT_EQ(head("run1.png", 8), kPng);
    EXPECT_FALSE(QImage(QString::fromStdString(workDir + "/run1.png")).isNull());

    // An existing picture is replaced only when the operator says so.
    writeFile("run1.png", "an older picture");
    popups.files.emplace_back(VAL_EXISTING_FILE_SELECTED, workDir + "/run1.png");
    commit(ChartPanel::handle, ChartPanel::saveImageButton); // the question escaped
    EXPECT_EQ(popups.shown.back().kind, "generic");
    EXPECT_EQ(readFile("run1.png"), "an older picture");
    popups.files.emplace_back(VAL_EXISTING_FILE_SELECTED, workDir + "/run1.png");
    popups.buttons.push_back(1); // Replace
    commit(ChartPanel::handle, ChartPanel::saveImageButton);
    EXPECT_EQ(head("run1.png", 8), kPng);

    // A cancelled dialog writes nothing; a folder that is not there is said so.
    const size_t before = popups.shown.size();
    commit(ChartPanel::handle, ChartPanel::saveImageButton);
    EXPECT_EQ(popups.shown.size(), before + 1);
    popups.files.emplace_back(VAL_NEW_FILE_SELECTED, workDir + "/gone/run2.png");
    commit(ChartPanel::handle, ChartPanel::saveImageButton);
    EXPECT_TRUE(popupSaying("Save Chart Image", "could not be saved"));
    EXPECT_FALSE(fileExists("gone/run2.png"));
}

TEST_F(ChartViewPanelTest, TheYAxisNamesTheControllersUnit) {
    controller().parmRecord.unitCF = 1;
    openChart();
    EXPECT_EQ(strip()->valueAxis()->titleText(), "SV, PV (°F)");
    plot(1);
    controller().parmRecord.unitCF = 0; // changed on the main panel while plotting
    tick();
    EXPECT_EQ(strip()->valueAxis()->titleText(), "SV, PV (°C)");
    EXPECT_NE(strip()->readoutAt(0).indexOf("PV 98.7 °C"), -1);
    controller().parmRecord.unitCF = 9; // a code outside the table is shown as it is
    tick();
    EXPECT_EQ(strip()->valueAxis()->titleText(), "SV, PV (code 9)");
}

} // namespace
