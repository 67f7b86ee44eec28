// Every request the program puts on the wire during one operator session,
// compared byte for byte and in order with wire_trace.txt. Controllers in the
// field rely on these frames and their order; a change here must be meant.
//
// The expected file was checked against a CRC computed outside the program.
// To see what the program sends now, run with Q7_WIRE_TRACE_OUT=<file>.
#include "chart/ids/chart_panel.h"
#include "params/ids/main_panel.h"
#include "pid/ids/pid_panel.h"
#include "program/ids/step_program_panel.h"
#include "runtime/panel_handles.h"
#include "service/ids/debug_panel.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

namespace M = MainPanel;
namespace sp = StepProgramPanel;
namespace D = DebugPanel;

class WireTrace : public ControllerTest {
  protected:
    // Appends the requests since the last step under a "# name" heading.
    void step(const std::string& name) {
        ASSERT_TRUE(waitIdle());
        trace << "# " << name << "\n";
        for (const auto& frame : sim->requestLog())
            trace << frame << "\n";
        sim->clearRequestLog();
    }
    // One tick of a running timer whose own interval is too long to fire
    // during the test; a stopped timer's tick sends nothing by design.
    void tickOnce(int panel, CtrlId timer) {
        SetCtrlAttribute(panel, timer, ATTR_INTERVAL, 3600.0);
        SetCtrlAttribute(panel, timer, ATTR_ENABLED, 1);
        postTick(panel, timer);
        ASSERT_TRUE(waitIdle());
        SetCtrlAttribute(panel, timer, ATTR_ENABLED, 0);
    }
    std::ostringstream trace;
};

std::string expectedTrace() {
    std::ifstream in(std::string(Q7_E2E_DIR) + "/wire_trace.txt");
    std::string line, out;
    while (std::getline(in, line))
        if (!line.empty() && line.rfind("//", 0) != 0) out += line + "\n";
    return out;
}

// The first line where the two traces part, with the step it belongs to.
std::string firstDifference(const std::string& want, const std::string& got) {
    std::istringstream w(want), g(got);
    std::string wl, gl, heading;
    for (int n = 1;; ++n) {
        const bool hw = bool(std::getline(w, wl)), hg = bool(std::getline(g, gl));
        if (!hw && !hg) return "";
        if (hw && wl.rfind("# ", 0) == 0) heading = wl;
        if (!hw || !hg || wl != gl)
            return "line " + std::to_string(n) + " (" + heading + "): expected '" +
                   (hw ? wl : "<end>") + "', sent '" + (hg ? gl : "<end>") + "'";
    }
}

} // namespace

TEST_F(WireTrace, OperatorSessionSendsExactlyTheKnownFrames) {
    connect(1);
    step("connect: probe, then the 26 parameters");

    setValueAndCommit(gPanels.main, M::svEntry, 30.0);
    step("set value 30.0");

    setValueAndCommit(gPanels.main, M::modeRing, 4);
    step("mode Manual");
    SetCtrlVal(gPanels.main, M::outputLevelNumeric, 55.5);
    commit(gPanels.main, M::outputSetButton);
    step("output level 55.5");
    setValueAndCommit(gPanels.main, M::modeRing, 1);
    step("mode On");
    setValueAndCommit(gPanels.main, M::modeRing, 0);
    step("mode Off");

    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/backup.prm"});
    commit(gPanels.main, M::saveFileButton);
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/backup.prm"});
    commit(gPanels.main, M::loadFileButton);
    step("restore the saved parameters: 26 writes, then 26 reads");

    commit(gPanels.main, M::stepProgramButton);
    SetCtrlAttribute(gPanels.stepProgram, sp::statusTimer, ATTR_ENABLED, 0);
    step("open the step program panel");
    SetCtrlVal(gPanels.stepProgram, sp::stepSv[0], 80.0);
    SetCtrlVal(gPanels.stepProgram, sp::time1[0], 5);
    commit(gPanels.stepProgram, sp::saveCtrlButton);
    step("write the step program");
    setValueAndCommit(gPanels.stepProgram, sp::bandEntry, 2.5);
    step("band 2.5");

    commit(gPanels.main, M::pidButton);
    step("open the PID panel");
    SetCtrlVal(gPanels.pid, PidPanel::pid11Numeric, 7.5);
    commit(gPanels.pid, PidPanel::writeButton);
    step("write the PID block");

    SetCtrlVal(gPanels.debug, D::idEntry, 1);
    SetCtrlVal(gPanels.debug, D::functionEntry, 3);
    commit(gPanels.debug, D::functionEntry);
    SetCtrlVal(gPanels.debug, D::regHighEntry, 0x10);
    SetCtrlVal(gPanels.debug, D::regLowEntry, 0x01);
    commit(gPanels.debug, D::sendButton);
    step("debug read 0x1001");
    SetCtrlVal(gPanels.debug, D::functionEntry, 6);
    commit(gPanels.debug, D::functionEntry);
    SetCtrlVal(gPanels.debug, D::regHighEntry, 0x00);
    SetCtrlVal(gPanels.debug, D::regLowEntry, 0x00);
    SetCtrlVal(gPanels.debug, D::data1Entry, 0x01);
    SetCtrlVal(gPanels.debug, D::data2Entry, 0x2C);
    commit(gPanels.debug, D::sendButton);
    step("debug write 0x0000 = 0x012C");

    for (CtrlId timer : {M::pvPollTimer, M::alarmTimer})
        tickOnce(gPanels.main, timer);
    step("PV poll and alarm poll");
    setValueAndCommit(gPanels.main, M::modeRing, 2);
    tickOnce(gPanels.main, M::autoTuneTimer);
    step("mode AT1 and one auto-tune poll");
    tickOnce(gPanels.stepProgram, sp::statusTimer);
    step("program status poll");
    tickOnce(gPanels.chart, ChartPanel::chartTimer);
    step("chart tick");

    sim->setReg(0x1003, 0x0401);
    popups.buttons.push_back(1);
    commit(gPanels.main, M::exitButton);
    step("controlled exit while a function runs: status, then Off");

    if (const char* out = std::getenv("Q7_WIRE_TRACE_OUT")) std::ofstream(out) << trace.str();
    const std::string want = expectedTrace();
    ASSERT_FALSE(want.empty()) << "wire_trace.txt is missing";
    EXPECT_EQ(firstDifference(want, trace.str()), "");
}
