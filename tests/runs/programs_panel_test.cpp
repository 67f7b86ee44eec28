// The Programs panel on the panels' own line and the simulated controller
// at 60 times life, with a real runs.sqlite in the test's folder: a run to
// its end as the operator starts it, the editor refusing a bad segment as it
// is typed and saving nothing, and a pause that leaves the controller alone.
// The alarm rules watch its run.
#include "app/panel_objects.h"
#include "runs/panel/firing_runner.h"
#include "runs/panel/programs_panel.h"
#include "runs/run_store.h"
#include "support/controller_fixture.h"
#include "support/gui_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <ctime>
#include <fstream>

namespace {

class ProgramsPanelTest : public ControllerTest {
  protected:
    void SetUp() override {
        simOptions.timeScale = 60;
        ControllerTest::SetUp();
        FiringRunner& runner = objects().programRunner;
        runner.setTimeScale(60);
        QObject::connect(&runner, &FiringRunner::viewChanged, &runner, [this] { ++views; });
        QObject::connect(&runner, &FiringRunner::ended, &runner,
                         [this](const RunView& v) { ended = v; });
    }
    // The line opened as the operator opens it, and the panel shown.
    void open() {
        connect(1);
        ASSERT_TRUE(line().linkUp());
        panel = &showProgramsPanel(objects());
    }
    template <class W> W* child(const char* name) {
        W* w = panel->findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString said() { return child<QLabel>("checkLabel")->text(); }
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    std::unique_ptr<RunStore> store() {
        auto s = RunStore::open(workDir + "/" + kRunStoreFile);
        if (auto* why = std::get_if<std::string>(&s)) {
            ADD_FAILURE() << *why;
            return nullptr;
        }
        return std::move(std::get<std::unique_ptr<RunStore>>(s));
    }

    ProgramsPanel* panel = nullptr;
    int views = 0;
    std::optional<RunView> ended;
};

const char* const kShort = "[program]\nname = Short\nunit = C\nstart = 20\nend = hold\n"
                           "[segments]\n600 30 0:01\nfull 40 0:01\n-600 35 0:00\n";

} // namespace

TEST_F(ProgramsPanelTest, RunsAProgramToItsEndOnTheLinesControllerAndRecordsIt) {
    open();
    panel->showProgram(kShort, "short");
    EXPECT_EQ(said().toStdString(), "Short, 3 segments, 0:04");
    click("runButton");
    ASSERT_TRUE(waitUntil([&] { return ended.has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(ended->outcome, RunOutcome::completed) << ended->lastEvent.toStdString();
    // The run's PV was drawn over its plan, which starts at 20 and ends at 35.
    const ProfileView& drawn = panel->profile();
    ASSERT_FALSE(drawn.sv.empty());
    EXPECT_EQ(drawn.sv.front().second, 20);
    EXPECT_EQ(drawn.sv.back().second, 35);
    EXPECT_FALSE(drawn.pv.empty());
    EXPECT_EQ(sim->reg(0x0000), 350); // the last target, held as `end = hold` says

    const auto s = store();
    ASSERT_TRUE(s);
    ASSERT_EQ(*s->runIds(), std::vector<long long>{ended->runId});
    const auto run = s->load(ended->runId);
    ASSERT_TRUE(run.found());
    EXPECT_EQ(run->state.outcome, RunOutcome::completed);
    EXPECT_EQ(run->state.programText, kShort);
    ASSERT_EQ(run->state.zones.size(), 1u);
    EXPECT_EQ(run->state.zones[0].port, "COM3");
    EXPECT_FALSE(s->samples(ended->runId)->empty());
    EXPECT_TRUE(s->keptFigures(ended->runId).found()); // kept as it ended: a list only reads
    std::vector<std::string> kinds;
    for (const RunEvent& e : *s->events(ended->runId))
        kinds.push_back(eventKindName(e.kind));
    // The calibration in force, stamped as the run opened.
    EXPECT_EQ(kinds,
              (std::vector<std::string>{"calibration", "start", "segment", "segment", "end"}));
}

TEST_F(ProgramsPanelTest, ABadSegmentTypedIsRefusedByItsLineAndNothingIsSavedOrRun) {
    open();
    panel->showProgram(kShort, "short");
    click("saveButton");
    ASSERT_TRUE(said().startsWith("Saved as ")) << said().toStdString();
    const std::string saved = readFile("programs/short.q7p");
    EXPECT_EQ(saved, kShort);
    ASSERT_EQ(child<QListWidget>("libraryList")->count(), 1);

    // A fourth segment, typed at the end: line 10 of the file.
    auto* edit = child<QPlainTextEdit>("programEdit");
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, "fast 100 0:10");
    EXPECT_TRUE(said().startsWith("line 10: ")) << said().toStdString();
    click("saveButton");
    EXPECT_TRUE(said().startsWith("Not saved: line 10: ")) << said().toStdString();
    EXPECT_EQ(readFile("programs/short.q7p"), saved);
    click("runButton");
    EXPECT_TRUE(said().startsWith("Not started: line 10: ")) << said().toStdString();
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(fileExists(kRunStoreFile)) << "a refused program made a run";
}

TEST_F(ProgramsPanelTest, APauseWritesNothingWhileTheRunGoesOnPolling) {
    open();
    panel->showProgram("[program]\nname = Long\nunit = C\nstart = 20\nend = off\n[segments]\n"
                       "60 100 1:00\n",
                       "long");
    click("runButton");
    ASSERT_TRUE(waitUntil([&] { return views >= 2; })) << said().toStdString();
    click("pauseButton");
    ASSERT_TRUE(waitUntil([&] { return child<QPushButton>("pauseButton")->text() == "Go on"; }));
    sim->clearRequestLog();
    const int before = views;
    ASSERT_TRUE(waitUntil([&] { return views >= before + 3; }));
    const std::vector<std::string> seen = sim->requestLog();
    EXPECT_FALSE(seen.empty()) << "the paused run no longer reads its zone";
    for (const std::string& r : seen)
        EXPECT_EQ(r.rfind("01 03 ", 0), 0u) << "written while paused: " << r;
    click("stopButton");
    ASSERT_TRUE(waitUntil([&] { return ended.has_value(); }));
    EXPECT_EQ(ended->outcome, RunOutcome::stopped);
}

TEST_F(ProgramsPanelTest, AnUnfinishedRunOnTheLineIsOfferedAndGoesOnWhenTheOperatorSaysSo) {
    long long before = 0;
    {
        // What a q7 killed in the second segment left in the store.
        RunState was;
        was.programName = "Short";
        was.programText = kShort;
        was.phase = RunPhase::running;
        was.opened = was.started.emplace(double(std::time(nullptr)) - 60);
        was.planStart = {0, 20, 0};
        was.planClock = 70;
        was.segment = 1;
        was.timeScale = 60;
        was.zones = {{"COM3", 1, 0, 40.0, std::nullopt, {}, {}}};
        const auto s = store();
        ASSERT_TRUE(s);
        std::string why;
        const auto id = s->create(was, std::nullopt, &why);
        ASSERT_TRUE(id) << why;
        before = *id;
    }
    popups.buttons.push_back(1); // Go on
    open();
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().title, "Unfinished run");
    ASSERT_TRUE(waitUntil([&] { return ended.has_value(); }, std::chrono::seconds(60)));
    EXPECT_EQ(ended->outcome, RunOutcome::completed) << ended->lastEvent.toStdString();
    const auto s = store();
    ASSERT_TRUE(s);
    // It went on in its own record, which tells when its driver was lost.
    EXPECT_EQ(ended->runId, before);
    EXPECT_EQ(*s->runIds(), std::vector<long long>{before});
    EXPECT_FALSE(s->load(before)->resumedFrom);
    const auto events = *s->events(before);
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(driverLost(events.front())) << events.front().text;
    EXPECT_TRUE(s->unfinished()->empty());
}

// The alarm rules watch a run the panel drives, with its plan: a rule's
// hold pauses it, and its event is in the run's record, once.
TEST_F(ProgramsPanelTest, AnAlarmRuleHoldsThePanelsRunAndIsRecordedInIt) {
    std::ofstream(workDir + "/alarms.conf") << "[rule warm]\nwhen = pv > 0\ndo = hold\n";
    runOnControlThread([this] { EXPECT_EQ(objects().notices.loadRules(""), ""); });
    open();
    panel->showProgram("[program]\nname = Long\nunit = C\nstart = 20\nend = off\n[segments]\n"
                       "60 100 1:00\n",
                       "long");
    click("runButton");
    ASSERT_TRUE(waitUntil([&] { return child<QPushButton>("pauseButton")->text() == "Go on"; }))
        << said().toStdString();
    click("stopButton");
    ASSERT_TRUE(waitUntil([&] { return ended.has_value(); }));
    const auto s = store();
    ASSERT_TRUE(s);
    std::vector<std::string> alarms;
    for (const RunEvent& e : *s->events(ended->runId))
        if (e.kind == EventKind::alarm) alarms.push_back(e.text);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].rfind("rule warm on COM3 id 1", 0), 0u) << alarms[0];
    EXPECT_NE(alarms[0].find("): hold done"), std::string::npos) << alarms[0];
}
