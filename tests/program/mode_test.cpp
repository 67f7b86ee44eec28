// The mode ring, the auto-tune and program status polls, the run switch and
// the switch to Off.
#include "link/retry_policy.h"
#include "panelkit/profile_plot_calls.h"
#include "program/panel/control_mode.h"
#include "program/panel/step_panel.h"
#include "program/srp_format.h"
#include "program_fixture.h"
#include "runs/run_store.h"
#include "widgets/ring.h"

#include <QWidget>
#include <set>

namespace {

class Mode : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        connectWithDecimals();
        SetCtrlAttribute(m, MainPanel::modeRing, ATTR_DIMMED, 0);
    }
    void selectMode(int mode) { setValueAndCommit(m, MainPanel::modeRing, mode); }
    void tick(int panel, CtrlId timer) {
        postTick(panel, timer);
        ASSERT_TRUE(waitIdle());
    }
    bool outputLevelUsable() const {
        double ctrlMode = -1;
        GetCtrlAttribute(m, MainPanel::outputLevelNumeric, ATTR_CTRL_MODE, &ctrlMode);
        return ctrlMode == 1 && !dimmed(m, MainPanel::outputLevelNumeric) &&
               !dimmed(m, MainPanel::outputSetButton);
    }
};

// The run store's record of the step program runs the panel started.
struct StepRecord {
    StoredRun run;
    std::vector<RunSample> samples;
    std::vector<RunEvent> events;
};

std::vector<StepRecord> recordedRuns() {
    std::vector<StepRecord> out;
    auto opened = RunStore::open(kRunStoreFile);
    auto* store = std::get_if<std::unique_ptr<RunStore>>(&opened);
    if (!store) return out;
    for (long long id : *(*store)->runIds())
        out.push_back({*(*store)->load(id), *(*store)->samples(id), *(*store)->events(id)});
    return out;
}

class FastMode : public Mode {
  protected:
    void SetUp() override {
        simOptions.timeScale = 40.0;
        Mode::SetUp();
    }
};

// The simulator's clock stands: a started program stays at the start of its
// first ramp, and PV stays where the test puts it.
class StillMode : public Mode {
  protected:
    void SetUp() override {
        simOptions.timeScale = 0.0;
        Mode::SetUp();
    }
};

} // namespace

TEST_F(Mode, RingWritesTheModeAndSetsTheMainPanel) {
    selectMode(4);
    EXPECT_EQ(sim->reg(0x0003), 4);
    EXPECT_TRUE(outputLevelUsable());
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    for (int mode : {0, 1, 3}) {
        selectMode(4);
        selectMode(mode);
        EXPECT_EQ(sim->reg(0x0003), mode);
        EXPECT_FALSE(outputLevelUsable()) << mode;
        EXPECT_EQ(value(m, MainPanel::outputIndicator), mode == 0 ? 0 : 1) << mode;
        EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), mode == 3 ? 1 : 0) << mode;
        EXPECT_EQ(ticking(m, MainPanel::autoTuneTimer), mode == 3) << mode;
    }
    rightClick(m, MainPanel::modeRing);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "<Control Mode> Help");
}

TEST_F(Mode, AutoTunePollBlinksAndReadsTheModeByte) {
    shortenTimeOut();
    selectMode(2); // the simulator tunes for a while at real speed
    SetCtrlAttribute(m, MainPanel::autoTuneTimer, ATTR_ENABLED, 0);
    SetCtrlAttribute(m, MainPanel::autoTuneTimer, ATTR_ENABLED, 1);
    sim->setReg(0x0004, 0x0100); // the register after the mode must not decide anything
    sim->clearRequestLog();
    tick(m, MainPanel::autoTuneTimer);
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "01 03 00 03 00 02");
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 0); // blinked off
    EXPECT_TRUE(ticking(m, MainPanel::autoTuneTimer));
    tick(m, MainPanel::autoTuneTimer);
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 1);

    sim->dropReplies(1); // no answer is no verdict
    tick(m, MainPanel::autoTuneTimer);
    EXPECT_TRUE(ticking(m, MainPanel::autoTuneTimer));

    sim->setReg(0x0003, 0);
    tick(m, MainPanel::autoTuneTimer);
    EXPECT_FALSE(ticking(m, MainPanel::autoTuneTimer));
    EXPECT_EQ(value(m, MainPanel::modeRing), 0);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 0);
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 0);
}

TEST_F(FastMode, AutoTuneEndsInOnByItself) {
    selectMode(3);
    EXPECT_TRUE(
        waitUntil([&] { return !ticking(m, MainPanel::autoTuneTimer); }, std::chrono::seconds(15)));
    waitIdle();
    EXPECT_EQ(value(m, MainPanel::modeRing), 1);
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 0);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
}

TEST_F(Mode, StatusPollLightsTheRunningSegment) {
    shortenTimeOut();
    SetCtrlVal(p, sp::runSwitch, 1);
    SetCtrlAttribute(p, sp::statusTimer, ATTR_ENABLED, 1);
    SetCtrlAttribute(m, MainPanel::modeRing, ATTR_DIMMED, 1);
    sim->setReg(0x1003, 0x0400 | 45);
    tick(p, sp::statusTimer);
    EXPECT_EQ(litSegments(), std::vector<int>{3});
    for (uint16_t position : {240, 245}) {
        SetCtrlVal(p, sp::segment[3], 1);
        sim->setReg(0x1003, uint16_t(0x0400 | position));
        tick(p, sp::statusTimer);
        EXPECT_TRUE(litSegments().empty()) << position;
    }
    sim->setReg(0x1003, 0x0500 | 45); // alarm 1 on beside the program state
    tick(p, sp::statusTimer);
    EXPECT_EQ(litSegments(), std::vector<int>{3});
    sim->setReg(0x1003, 0x0800 | 45);
    tick(p, sp::statusTimer);
    EXPECT_TRUE(litSegments().empty());
    EXPECT_EQ(value(p, sp::runSwitch), 1);
    EXPECT_TRUE(ticking(p, sp::statusTimer));

    sim->dropReplies(1); // a lost reply is not the end of the program
    tick(p, sp::statusTimer);
    EXPECT_TRUE(ticking(p, sp::statusTimer));

    sim->setReg(0x1003, 0x0300); // over, though both alarms are on
    tick(p, sp::statusTimer);
    EXPECT_EQ(value(p, sp::runSwitch), 0);
    EXPECT_FALSE(ticking(p, sp::statusTimer));
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 0);
    EXPECT_FALSE(dimmed(m, MainPanel::modeRing)); // the operator gets the ring back
}

// A running program moves SV by itself: each PV poll reads it too and the
// SV entry shows it. Without a program the poll reads PV alone.
TEST_F(Mode, PvPollShowsTheSetValueARunningProgramDrives) {
    SetCtrlAttribute(m, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600.0);
    SetCtrlAttribute(m, MainPanel::pvPollTimer, ATTR_ENABLED, 1);
    tick(m, MainPanel::pvPollTimer);
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 10 00 00 01 80 CA"});
    controller().noteMode(ControlMode::program); // as a started program leaves it
    for (int sv : {500, 400}) {
        sim->setReg(0x0000, uint16_t(sv));
        sim->clearRequestLog();
        tick(m, MainPanel::pvPollTimer);
        EXPECT_EQ(sim->requestLog(),
                  (std::vector<std::string>{"01 03 10 00 00 01 80 CA", "01 03 10 01 00 01 D1 0A"}));
        EXPECT_DOUBLE_EQ(real(m, MainPanel::svEntry), sv / 10.0);
    }
}

TEST_F(Mode, RunSwitchTakesOverFromAutoTuneAndGivesTheRingBack) {
    selectMode(2);
    ASSERT_TRUE(ticking(m, MainPanel::autoTuneTimer));
    setValueAndCommit(p, sp::runSwitch, 1);
    EXPECT_EQ(sim->reg(0x0003), 5);
    EXPECT_EQ(sim->lastRequestHex().substr(0, 17), "01 06 00 03 00 05");
    EXPECT_FALSE(ticking(m, MainPanel::autoTuneTimer));
    EXPECT_EQ(value(m, MainPanel::modeRing), 5) << "the ring shows the running program";
    EXPECT_TRUE(dimmed(m, MainPanel::modeRing));
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 0);
    EXPECT_TRUE(ticking(p, sp::statusTimer));

    setValueAndCommit(p, sp::runSwitch, 0);
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_FALSE(ticking(p, sp::statusTimer));
    EXPECT_EQ(value(m, MainPanel::modeRing), 0);
    EXPECT_FALSE(dimmed(m, MainPanel::modeRing));
    EXPECT_TRUE(litSegments().empty());
}

TEST_F(Mode, TurnEnableOffSendsTheOffFrameAndLeavesNothingQueued) {
    selectMode(4);
    sim->clearRequestLog();
    runOnControlThread([this] { TurnEnableOff(controller()); });
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 06 00 03 00 00 79 CA"});
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_FALSE(outputLevelUsable());
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 0);
    // The whole echo was read: the next poll gets its own reply, not a stale byte.
    SetCtrlAttribute(p, sp::statusTimer, ATTR_ENABLED, 1);
    SetCtrlVal(p, sp::runSwitch, 1);
    tick(p, sp::statusTimer);
    EXPECT_EQ(value(p, sp::runSwitch), 0);
}

// The mode ring follows the controller: the Off that Exit sends shows, and
// ends the view of a running program, which the ring shows as Program.
TEST_F(Mode, ExitSwitchesOffShowsItAndHidesThePanel) {
    commit(m, MainPanel::stepProgramButton);
    ASSERT_TRUE(controlWidget(p, sp::exitButton)->window()->isVisible());
    EXPECT_NE(controlWidget(p, sp::exitButton)->toolTip().indexOf("controller Off"), -1);
    selectMode(1);
    popups.buttons.push_back(1); // switch Off
    commit(p, sp::exitButton);
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_EQ(value(m, MainPanel::modeRing), 0);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 0);
    EXPECT_FALSE(controlWidget(p, sp::exitButton)->window()->isVisible());

    commit(m, MainPanel::stepProgramButton);
    SetCtrlAttribute(p, sp::statusTimer, ATTR_INTERVAL, 3600.0);
    setValueAndCommit(p, sp::runSwitch, 1);
    ASSERT_EQ(sim->reg(0x0003), 5);
    EXPECT_EQ(value(m, MainPanel::modeRing), 5);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    popups.buttons.push_back(1);
    commit(p, sp::exitButton);
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_EQ(value(m, MainPanel::modeRing), 0);
    EXPECT_FALSE(dimmed(m, MainPanel::modeRing));
    EXPECT_EQ(value(p, sp::runSwitch), 0);
    EXPECT_FALSE(ticking(p, sp::statusTimer));
}

TEST_F(Mode, ProgramIsShownButNeverOffered) {
    auto* ring = qobject_cast<Ring*>(controlWidget(m, MainPanel::modeRing));
    ASSERT_NE(ring, nullptr);
    for (int mode = 0; mode <= 4; ++mode)
        EXPECT_TRUE(ring->offers(mode)) << mode;
    EXPECT_FALSE(ring->offers(5));
    sim->setReg(0x0003, 5);
    commit(m, MainPanel::readButton);
    std::string shown;
    GetCtrlVal(m, MainPanel::modeRing, &shown);
    EXPECT_EQ(shown, "Program");
    // Committed all the same (no operator can), it starts nothing.
    sim->setReg(0x0003, 1);
    sim->clearRequestLog();
    selectMode(5);
    EXPECT_TRUE(sim->requestLog().empty());
    EXPECT_EQ(sim->reg(0x0003), 1);
}

TEST_F(Mode, LateAutoTuneTickLeavesTheLightDark) {
    selectMode(2);
    ASSERT_TRUE(ticking(m, MainPanel::autoTuneTimer));
    selectMode(1); // stops the timer; a tick may already wait in the queue
    ASSERT_FALSE(ticking(m, MainPanel::autoTuneTimer));
    sim->clearRequestLog();
    tick(m, MainPanel::autoTuneTimer);
    EXPECT_EQ(value(m, MainPanel::autoTuneIndicator), 0);
    EXPECT_TRUE(sim->requestLog().empty());
}

// A mode write the controller does not confirm is never shown as done: the
// ring and the lights stay with the mode the controller holds.
TEST_F(Mode, RingShowsTheModeTheControllerHoldsAfterAFailedWrite) {
    shortenTimeOut();
    selectMode(4);
    const std::string offWrite = "01 06 00 03 00 00 79 CA";
    const std::string modeRead = "01 03 00 03 00 01 74 0A";

    sim->clearRequestLog();
    sim->exceptionNext(4);
    selectMode(0);
    EXPECT_EQ(sim->requestLog(), (std::vector<std::string>{offWrite, modeRead}));
    EXPECT_EQ(sim->reg(0x0003), 4);
    EXPECT_EQ(value(m, MainPanel::modeRing), 4);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    EXPECT_TRUE(outputLevelUsable());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Control Mode Refused");
    EXPECT_NE(popups.shown[0].text.find("control mode Off (exception code 4)"), std::string::npos);
    EXPECT_EQ(popups.shown[0].text.find("Hi/Lo"), std::string::npos);

    // Another slave's answer is no echo; the controller did take Off, and
    // the mode read back shows it.
    popups.shown.clear();
    sim->wrongSlaveNext(2);
    selectMode(0);
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_EQ(value(m, MainPanel::modeRing), 0);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 0);
    EXPECT_FALSE(outputLevelUsable());
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "No Confirmation");
    EXPECT_NE(popups.shown[0].text.find("did not confirm control mode Off"), std::string::npos);

    // Nothing comes back, not even to the read and its retry: the panel
    // keeps the mode it showed.
    selectMode(4);
    popups.shown.clear();
    sim->dropReplies(1 + retry::kReadAttempts);
    selectMode(1);
    EXPECT_EQ(value(m, MainPanel::modeRing), 4);
    EXPECT_TRUE(outputLevelUsable());
    EXPECT_EQ(popups.shown.size(), 1u);
}

TEST_F(Mode, RunSwitchFollowsOnlyAConfirmedMode) {
    shortenTimeOut();
    // No status poll of its own may end the program between the steps below.
    SetCtrlAttribute(p, sp::statusTimer, ATTR_INTERVAL, 3600.0);
    selectMode(1);
    sim->clearRequestLog();
    sim->exceptionNext(3);
    setValueAndCommit(p, sp::runSwitch, 1);
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 06 00 03 00 05 B9 C9"});
    EXPECT_EQ(value(p, sp::runSwitch), 0);
    EXPECT_FALSE(ticking(p, sp::statusTimer));
    EXPECT_FALSE(dimmed(m, MainPanel::modeRing));
    EXPECT_EQ(value(m, MainPanel::modeRing), 1);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_NE(popups.shown[0].text.find("control mode Program (exception code 3)"),
              std::string::npos);

    popups.shown.clear();
    setValueAndCommit(p, sp::runSwitch, 1);
    ASSERT_EQ(sim->reg(0x0003), 5);
    sim->dropReplies(1);
    setValueAndCommit(p, sp::runSwitch, 0);
    EXPECT_EQ(value(p, sp::runSwitch), 1); // the program may be running on
    EXPECT_TRUE(ticking(p, sp::statusTimer));
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "No Confirmation");
    SetCtrlAttribute(p, sp::statusTimer, ATTR_ENABLED, 0);
}

TEST_F(Mode, OffNotConfirmedLeavesTheOutputShownAndThePanelOpen) {
    shortenTimeOut();
    commit(m, MainPanel::stepProgramButton);
    selectMode(4);
    sim->clearRequestLog();
    sim->refuseNextWrite(4); // the mode read answers, the Off is refused
    popups.buttons.push_back(1);
    commit(p, sp::exitButton);
    EXPECT_EQ(sim->requestLog(),
              (std::vector<std::string>{"01 03 00 03 00 01 74 0A", "01 06 00 03 00 00 79 CA"}));
    EXPECT_EQ(sim->reg(0x0003), 4);
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    EXPECT_TRUE(outputLevelUsable());
    EXPECT_TRUE(controlWidget(p, sp::exitButton)->window()->isVisible());
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Control Mode Refused");

    popups.shown.clear();
    sim->dropReplies(1);
    runOnControlThread([this] { EXPECT_FALSE(TurnEnableOff(controller())); });
    EXPECT_EQ(value(m, MainPanel::outputIndicator), 1);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "No Confirmation");
}

TEST_F(FastMode, ProgramRunsThroughItsSegmentsAndEnds) {
    // Three steps, the second looping back once; 20 s segments at 40x.
    for (int i = 0; i < 8; ++i)
        setStep(i, 30.0, 20, 20, 8, 0);
    setStep(0, 30.0, 20, 20, 10, 0);
    setStep(1, 35.0, 20, 20, 0, 1);
    setStep(2, 30.0, 20, 20, 8, 0);
    SetCtrlVal(p, sp::bandEntry, 200.0);
    commit(p, sp::saveCtrlButton);
    ASSERT_TRUE(popups.shown.empty());

    setValueAndCommit(p, sp::runSwitch, 1);
    std::set<int> seen;
    EXPECT_TRUE(waitUntil(
        [&] {
            for (int s : litSegments())
                seen.insert(s);
            return value(p, sp::runSwitch) == 0;
        },
        std::chrono::seconds(20)));
    waitIdle();
    EXPECT_GE(seen.size(), 3u);
    EXPECT_TRUE(seen.count(4) || seen.count(5)) << "step 2 shown";
    EXPECT_EQ(sim->reg(0x0003), 0);
    EXPECT_FALSE(dimmed(m, MainPanel::modeRing));
    EXPECT_FALSE(ticking(p, sp::statusTimer));

    // Recorded with the table the controller confirmed, ended in its last step.
    const auto runs = recordedRuns();
    ASSERT_EQ(runs.size(), 1u);
    const RunState& st = runs[0].run.state;
    EXPECT_EQ(st.kind, RunKind::steps);
    EXPECT_EQ(st.outcome, RunOutcome::completed);
    EXPECT_EQ(st.programText, formatSrp(readProgramFromPanel()));
    ASSERT_FALSE(runs[0].events.empty());
    EXPECT_NE(runs[0].events.front().text.find("as written to the controller"), std::string::npos);
}

// The record holds the table the controller runs, not entries edited on the
// panel since it was read, and PV and SV as the polls read them. Switched
// off, the run ends as stopped.
TEST_F(StillMode, RunSwitchRecordsTheControllersTableAndItsSamples) {
    sim->setReg(0x0033, 600);
    commit(m, MainPanel::stepProgramButton);
    const std::string read = formatSrp(readProgramFromPanel());
    setStep(0, 99.0, 5, 5, 8, 0); // edited, not saved
    SetCtrlAttribute(m, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600.0);
    setValueAndCommit(m, MainPanel::pvReadSwitch, 1);
    SetCtrlAttribute(p, sp::statusTimer, ATTR_INTERVAL, 3600.0);
    setValueAndCommit(p, sp::runSwitch, 1);
    ASSERT_EQ(sim->reg(0x0003), 5);
    sim->setReg(0x1000, 400);
    tick(m, MainPanel::pvPollTimer);
    tick(p, sp::statusTimer);
    setValueAndCommit(p, sp::runSwitch, 0);
    ASSERT_EQ(sim->reg(0x0003), 0);

    const auto runs = recordedRuns();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].run.state.programText, read);
    EXPECT_EQ(runs[0].run.state.outcome, RunOutcome::stopped);
    ASSERT_FALSE(runs[0].samples.empty());
    EXPECT_EQ(runs[0].samples.back().pv, 40.0);
    EXPECT_EQ(runs[0].events.back().text, "stopped: from the step program panel");
}

// Exit asks before it switches a controller Off that is not Off, naming the
// mode; keeping it leaves the controller as it was. Off already: no question.
TEST_F(Mode, ExitAsksBeforeSwitchingOffAndNamesTheMode) {
    commit(m, MainPanel::stepProgramButton);
    selectMode(4);
    popups.shown.clear();
    popups.buttons.push_back(2); // keep
    commit(p, sp::exitButton);
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Switch the Controller Off?");
    EXPECT_NE(popups.shown[0].text.find("in Manual mode"), std::string::npos);
    EXPECT_EQ(sim->reg(0x0003), 4);
    EXPECT_EQ(value(m, MainPanel::modeRing), 4);
    EXPECT_TRUE(outputLevelUsable());
    EXPECT_FALSE(controlWidget(p, sp::exitButton)->window()->isVisible());

    commit(m, MainPanel::stepProgramButton);
    popups.shown.clear();
    commit(p, sp::exitButton); // Escape: stays
    EXPECT_EQ(sim->reg(0x0003), 4);
    EXPECT_TRUE(controlWidget(p, sp::exitButton)->window()->isVisible());

    selectMode(0);
    popups.shown.clear();
    commit(p, sp::exitButton);
    EXPECT_TRUE(popups.shown.empty());
    EXPECT_FALSE(controlWidget(p, sp::exitButton)->window()->isVisible());
}

// The time columns name the unit the controller counts them in, and follow
// it when it changes on the main panel or is read again.
TEST_F(Mode, TimeHeadingsFollowTheTimeUnit) {
    auto heading = [&](CtrlId c) {
        std::string text;
        GetCtrlVal(p, c, &text);
        return text;
    };
    EXPECT_EQ(heading(sp::time1Heading), "Time 1 (MM:SS)");
    setValueAndCommit(m, MainPanel::timeUnitRing, 1);
    ASSERT_EQ(sim->reg(0x0026), 1);
    EXPECT_EQ(heading(sp::time1Heading), "Time 1 (HH:MM)");
    EXPECT_EQ(heading(sp::time2Heading), "Time 2 (HH:MM)");
    sim->setReg(0x0026, 0);
    commit(m, MainPanel::readButton);
    EXPECT_EQ(heading(sp::time2Heading), "Time 2 (MM:SS)");
}

// Opened while the controller runs its program (started at its keys), the
// panel follows the run at once; the plan it draws starts from the PV the
// run started at and stays put as PV moves on.
TEST_F(StillMode, OpenedDuringARunFollowsItAndKeepsItsPlan) {
    SetCtrlAttribute(m, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600.0);
    setValueAndCommit(m, MainPanel::pvReadSwitch, 1);
    // One step: a ten-minute ramp to 80.0, a ten-minute soak, the end.
    for (auto [reg, word] : {std::pair{0x0033, 600}, {0x0034, 800}, {0x0035, 600}, {0x0036, 8}})
        sim->setReg(uint16_t(reg), uint16_t(word));
    sim->setReg(0x1000, 250);
    tick(m, MainPanel::pvPollTimer);
    sim->setReg(0x0003, 5);
    ASSERT_TRUE(waitUntil([&] { return sim->reg(0x1003) >> 8 == 4; }));

    commit(m, MainPanel::stepProgramButton);
    EXPECT_EQ(value(p, sp::runSwitch), 1);
    EXPECT_TRUE(ticking(p, sp::statusTimer));
    EXPECT_EQ(litSegments(), std::vector<int>{0});
    std::string position;
    GetCtrlVal(p, sp::runPositionText, &position);
    EXPECT_EQ(position.rfind("Step 0, segment 0: ramp to 80.0", 0), 0u) << position;
    EXPECT_TRUE(dimmed(m, MainPanel::modeRing)) << "the program owns the mode";
    const auto plannedStart = [&] { return GetProfilePlot(p, sp::profilePlot).sv.front(); };
    EXPECT_EQ(plannedStart(), std::pair(0.0, 25.0));

    sim->setReg(0x1000, 400);
    tick(m, MainPanel::pvPollTimer);
    ASSERT_DOUBLE_EQ(real(m, MainPanel::pvDisplay), 40.0);
    tick(p, sp::statusTimer);
    commit(p, sp::loadCtrlButton);
    EXPECT_EQ(plannedStart(), std::pair(0.0, 25.0));
}
