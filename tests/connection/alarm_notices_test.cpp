// Alarms reach the operator: the built-in rules give a notification and a
// data log line when the alarm outputs turn on, once per turn, and none
// when switched off; an alarms.conf's rules fire on the panels' poll and
// their events, with those a run recorded, are listed in the Runs panel.
#include "chart/data_log.h"
#include "connection/panel/alarm_notices.h"
#include "history/panel/alarm_events_list.h"
#include "mainpanel/ids/main_panel.h"
#include "runs/program_file.h"
#include "support/controller_fixture.h"

#include <QApplication>
#include <QTabWidget>

namespace {

// The line's clock, moved on by a number of seconds.
class AheadClock final : public Clock {
  public:
    TimePoint now() override {
        return lineClock().now() + std::chrono::duration_cast<TimePoint::duration>(
                                       std::chrono::duration<double>(ahead));
    }
    void sleepUntil(TimePoint) override {}
    double ahead = 0;
};

class AlarmNoticeTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        objects().notices.setClock(&clock);
        connect(1);
        popups.shown.clear();
    }
    void poll(uint16_t status) {
        sim->setReg(0x1003, status);
        postTick(MainPanel::handle, MainPanel::alarmTimer);
        ASSERT_TRUE(waitIdle());
    }
    int notices() const { return int(popups.notifications.size()); }
    std::string loadRules() {
        std::string why;
        runOnControlThread([&] { why = objects().notices.loadRules(""); });
        return why;
    }

    AheadClock clock;
};

} // namespace

TEST_F(AlarmNoticeTest, OncePerTurnOnAndNoneWhenSwitchedOff) {
    ASSERT_TRUE(objects().log.open(workDir + "/run.dat", false, nullptr));
    poll(0x0400); // a program running is no alarm
    EXPECT_EQ(notices(), 0);
    poll(0x0100);
    ASSERT_EQ(notices(), 1);
    EXPECT_EQ(popups.notifications[0].title, "Alarm");
    EXPECT_EQ(popups.notifications[0].text.find("alarm 1 output on, controller 1 on COM3 at "), 0u)
        << popups.notifications[0].text;
    poll(0x0100);
    poll(0x0100);
    EXPECT_EQ(notices(), 1) << "not on every poll";
    poll(0x0300);
    EXPECT_EQ(notices(), 2) << "alarm 2 turned on as well";
    EXPECT_NE(popups.notifications[1].text.find("alarm 2 output on"), std::string::npos);

    objects().notices.setSwitches({false, true});
    poll(0);
    clock.ahead = 61; // a rule fires at most once a minute
    poll(0x0100);
    EXPECT_EQ(notices(), 2);
    objects().log.close();
    // The log keeps every turn, notified or not.
    const std::string log = readFile("run.dat");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find(", alarm 1 output on, controller 1 on COM3\n"), std::string::npos) << log;
}

TEST_F(AlarmNoticeTest, AFileReplacesTheBuiltInRulesAndTheRunsPanelListsTheirEvents) {
    writeFile("alarms.conf", "[rule hot]\nwhen = pv >\ndo = log\n");
    EXPECT_EQ(loadRules().find("alarms.conf line 2: "), 0u) << "told, with its line";
    EXPECT_EQ(objects().notices.rules().source, "built-in") << "the built-in rules stay";

    // A run another q7 recorded, with an event of its rules.
    std::string why;
    auto opened = RunStore::open(kRunStoreFile);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<RunStore>>(opened));
    RunStore& store = *std::get<std::unique_ptr<RunStore>>(opened);
    RunState st;
    st.programName = "Bisque";
    st.programText = "[program]\nname = Bisque\nunit = C\nstart = 20\n[segments]\n60 80 0:10\n";
    st.opened = wallSeconds() - 3600;
    st.zones.resize(1);
    st.zones[0].port = "COM1";
    st.zones[0].id = 2;
    const auto run = store.create(st, std::nullopt, &why);
    ASSERT_TRUE(run) << why;
    RunEvent stored{st.opened, 0, EventKind::alarm, 0,
                    "rule stalled on COM1 id 2 (pv 412, rate 20/h): hold done; command "
                    "/usr/local/bin/page exited with status 3"};
    ASSERT_TRUE(store.addEvent(*run, stored, &why)) << why;
    stored.text = "rule stalled on COM1 id 2, failed action: command /usr/local/bin/page exited "
                  "with status 3";
    ASSERT_TRUE(store.addEvent(*run, stored, &why)) << why;

    writeFile("alarms.conf", "[rule hot]\nwhen = pv > 0\ndo = log\n");
    ASSERT_EQ(loadRules(), "");
    RunsPanel& panel = showRunsPanel(objects());
    const AlarmEventsList& list = panel.alarmEvents();
    const auto listed = [&](std::size_t n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (list.listed().size() < n && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        return list.listed().size();
    };
    ASSERT_EQ(listed(2), 2u);
    poll(0x0100); // the built-in alarm 1 rule no longer applies
    EXPECT_EQ(notices(), 0);
    ASSERT_EQ(listed(3), 3u) << "the firing comes to the open list";
    const AlarmEvent& hot = list.listed()[0];
    EXPECT_EQ(hot.rule, "hot");
    EXPECT_EQ(hot.line + " id " + std::to_string(hot.id), "COM3 id 1");
    EXPECT_EQ(hot.done, (std::vector<std::string>{"log not written: no data log is open"}));
    EXPECT_TRUE(hot.ok);
    // The stored firing, after its failed action, did not all work.
    EXPECT_EQ(list.listed()[1].kind, AlarmEvent::Kind::actionFailed);
    EXPECT_EQ(list.listed()[2].rule, "stalled");
    EXPECT_EQ(list.listed()[2].done.size(), 2u);
    EXPECT_FALSE(list.listed()[2].ok);
    // The list is a tab of the panel, which still fits a 1024x600 screen.
    const auto* tabs = panel.findChild<QTabWidget*>("detailTabs");
    ASSERT_NE(tabs, nullptr);
    EXPECT_GE(tabs->indexOf(const_cast<AlarmEventsList*>(&list)), 0);
    EXPECT_LE(panel.minimumSizeHint().width(), 1024);
    EXPECT_LE(panel.minimumSizeHint().height(), 600);
}
