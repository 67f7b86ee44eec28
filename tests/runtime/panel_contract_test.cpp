// Every panel file against the code: callbacks it names exist, controls the
// code names exist with the value type the code reads.
#include "app/callbacks.h"
#include "app/panel_objects.h"
#include "app/panel_set.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/chart_yscale_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "lines/panel/line_work.h"
#include "mainpanel/decimal_point.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/ids/wait_panel.h"
#include "mainpanel/parameter_display.h"
#include "panelkit/callback_registry.h"
#include "panelkit/control_thread.h"
#include "panelkit/panel_table.h"
#include "params/register_map.h"
#include "pid/panel/ids/pid_panel.h"
#include "pid/panel/pid_panel.h"
#include "pid/pid_block.h"
#include "program/panel/ids/step_program_panel.h"
#include "service/ids/debug_panel.h"
#include "support/gui_fixture.h"
#include "widgets/led.h"

#include <QWidget>

#include <set>
#include <span>

namespace {

struct PanelFile {
    const char* file;
    std::span<const ExpectedControl> controls;
    int* handle;
};

const PanelFile kPanels[] = {
    {MainPanel::file, MainPanel::controls, &MainPanel::handle},
    {DebugPanel::file, DebugPanel::controls, &DebugPanel::handle},
    {ChartPanel::file, ChartPanel::controls, &ChartPanel::handle},
    {ChartYscalePanel::file, ChartYscalePanel::controls, &ChartYscalePanel::handle},
    {WaitPanel::file, WaitPanel::controls, &WaitPanel::handle},
    {StepProgramPanel::file, StepProgramPanel::controls, &StepProgramPanel::handle},
    {LogSetupPanel::file, LogSetupPanel::controls, &LogSetupPanel::handle},
    {PidPanel::file, PidPanel::controls, &PidPanel::handle},
};

class PanelContract : public GuiTest {
  protected:
    PanelObjects objects{*servedControlThread()};
};

TEST_F(PanelContract, EveryFileAgreesWithTheCode) {
    registerAllCallbacks(objects);
    // Loaded the way the program loads them, parents and all.
    ASSERT_TRUE(loadAllPanels(objects));
    for (const PanelFile& pf : kPanels) {
        SCOPED_TRACE(pf.file);
        const int panel = *pf.handle;
        ASSERT_GT(panel, 0);
        const PanelEntry* entry = panelEntry(panel);
        ASSERT_NE(entry, nullptr);
        for (const auto& [name, w] : entry->controls) {
            const QString cb = w->property("callback").toString();
            if (!cb.isEmpty()) {
                EXPECT_NE(findCallback(cb.toStdString()), nullptr)
                    << std::string(name) << " names unregistered " << cb.toStdString();
            }
        }
        for (const ExpectedControl& expected : pf.controls)
            EXPECT_TRUE(controlHasValueType(panel, expected.name, expected.type))
                << std::string(expected.name) << " missing or of the wrong kind";
        // The close box must lead somewhere the logic decides, except on the wait popup.
        const QString closeControl = panelRoot(panel)->property("closeControl").toString();
        if (std::string_view(pf.file) != WaitPanel::file) {
            EXPECT_NE(lookupControl(panel, internName(closeControl)), nullptr);
        }
    }
}

// The decimal point reaches a control by its mark alone. Every control the
// code fills with a temperature (a scaled register, a set value or band of
// the step program, a live SV or PV) carries it, and no other control does.
TEST_F(PanelContract, TemperatureControlsAndOnlyThoseAreMarked) {
    ASSERT_TRUE(loadAllPanels(objects));
    using Control = std::pair<int, std::string>;
    std::set<Control> expected;
    for (const ShownParameter& s : shownParameters())
        if (findParmRegister(s.reg)->enc == Encoding::Scaled)
            expected.emplace(s.onDebugPanel ? DebugPanel::handle : MainPanel::handle, s.control);
    for (const PidField& f : pidFields())
        if (f.encoding == Encoding::Scaled) expected.emplace(PidPanel::handle, pidEntry(f));
    for (CtrlId sv : StepProgramPanel::stepSv)
        expected.emplace(StepProgramPanel::handle, sv);
    expected.emplace(StepProgramPanel::handle, StepProgramPanel::bandEntry);
    expected.emplace(MainPanel::handle, MainPanel::pvDisplay);
    expected.emplace(ChartPanel::handle, ChartPanel::svIndicator);
    expected.emplace(ChartPanel::handle, ChartPanel::pvIndicator);

    std::set<Control> marked;
    for (const MarkedControl& m : GetMarkedControls(kTemperatureMark))
        marked.emplace(m.panel, m.control);
    EXPECT_EQ(marked, expected);
    EXPECT_EQ(expected.size(), 23u);
}

TEST_F(PanelContract, MainPanelStartsAsTheLogicExpects) {
    const int main = load(MainPanel::file);
    int v = -1;
    EXPECT_EQ(GetCtrlVal(main, MainPanel::idNumeric, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(GetCtrlVal(main, MainPanel::portSelector, &v), 0);
    EXPECT_EQ(v, 1) << "first port carries code 1, not index 0";
    double a = -1;
    EXPECT_EQ(GetCtrlAttribute(main, MainPanel::pvPollTimer, ATTR_ENABLED, &a), 0);
    EXPECT_EQ(a, 1) << "PV is polled from the start";
    EXPECT_EQ(GetCtrlAttribute(main, MainPanel::pvPollTimer, ATTR_INTERVAL, &a), 0);
    EXPECT_DOUBLE_EQ(a, 1.0);
    EXPECT_EQ(GetCtrlAttribute(main, MainPanel::identificationDisplay, ATTR_CTRL_MODE, &a), 0);
    EXPECT_EQ(a, 0) << "identification is a display";
    EXPECT_EQ(panelRoot(main)->windowTitle(), "Q7 Temperature Controller");
    for (int code = 1; code <= 16; ++code)
        EXPECT_EQ(SetCtrlVal(main, MainPanel::portSelector, code), 0);
}

// A light nothing drives reads as "all is well": the main panel carries only
// the lights the logic sets.
TEST_F(PanelContract, MainPanelHasNoDeadLights) {
    const int main = load(MainPanel::file);
    QStringList lights;
    for (const Led* led : panelRoot(main)->findChildren<Led*>())
        lights << led->objectName();
    lights.sort();
    EXPECT_EQ(lights,
              QStringList({MainPanel::autoTuneIndicator.data(), MainPanel::connectionLed.data(),
                           MainPanel::outputIndicator.data()}));
}

TEST_F(PanelContract, ChildPanelIsItsOwnWindowAndKeepsItsNames) {
    const int chart = load(ChartPanel::file);
    const int yscale = load(ChartYscalePanel::file, chart);
    ASSERT_GT(yscale, 0);
    QWidget* child = panelRoot(yscale);
    EXPECT_TRUE(child->isWindow());
    EXPECT_EQ(child->parentWidget(), panelRoot(chart));
    // Both panels have an exit-ish button; each name resolves within its own panel.
    EXPECT_EQ(controlWidget(chart, ChartPanel::exitButton)->window(), panelRoot(chart));
    EXPECT_EQ(lookupControl(chart, ChartYscalePanel::closeButton), nullptr);
    // Discarding the parent takes the child's handle with it.
    EXPECT_EQ(DiscardPanel(chart), 0);
    EXPECT_EQ(HidePanel(yscale), kPanelBadHandle);
}

TEST_F(PanelContract, MissingFileIsAnErrorNotACrash) {
    EXPECT_EQ(LoadPanel(0, "no_such_panel.ui", 0), kPanelFileNotFound);
    EXPECT_EQ(LoadPanel(9999, MainPanel::file, 0), kPanelBadHandle);
}

} // namespace
