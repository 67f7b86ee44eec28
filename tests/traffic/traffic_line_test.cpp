// The traffic of real exchanges with the simulated controller over a
// pseudo-terminal, every fault injected on a known request: its verdict
// lands on that request's rows, and the counts are exactly what was injected.
#include "link/registers.h"
#include "link/transfer.h"
#include "monitor/link_fixture.h"
#include "traffic/panel/traffic_monitor.h"
#include "traffic/panel/traffic_panel.h"
#include "traffic/traffic_tap.h"

#include <QAbstractButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Injected {
    const char* name;
    std::function<void(sim::SimController&)> inject;
    Verdict first;  // the verdict of the faulty reply
    Verdict second; // and of the retry
    int64_t LineCounts::*counter;
};

class TrafficLine : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        SetComTime(line().port(), 0.2); // silence costs a time-out; its length does not matter here
        sim->setReg(reg::pv, 237);
        objects().traffic.clearTable();
        objects().tap.statistics().reset();
        objects().trafficPanel.open();
    }
    QAbstractButton& button(const char* name) {
        auto* b = objects().trafficPanel.findChild<QAbstractButton*>(name);
        EXPECT_NE(b, nullptr) << name;
        return *b;
    }
    void click(const char* name) { QTest::mouseClick(&button(name), Qt::LeftButton); }
    // Clicked only when it is not on (or off) already, as the operator would.
    void switchTo(const char* name, bool on) {
        if (button(name).isChecked() != on) click(name);
        EXPECT_EQ(button(name).isChecked(), on) << name;
    }
    // Everything the table holds once the batch has been picked up.
    std::vector<TrafficRow> table() {
        objects().traffic.pickUpNow();
        return objects().traffic.tableRows();
    }
};

const std::vector<Injected> kFaults = {
    {"lost reply", [](sim::SimController& s) { s.dropReplies(1); }, Verdict::noReply, Verdict::good,
     &LineCounts::noReplies},
    {"bit flip", [](sim::SimController& s) { s.flipBit(4, 0); }, Verdict::crcError, Verdict::good,
     &LineCounts::crcOrShort},
    {"short reply", [](sim::SimController& s) { s.truncateNext(4); }, Verdict::shortReply,
     Verdict::good, &LineCounts::crcOrShort},
    {"wrong slave", [](sim::SimController& s) { s.wrongSlaveNext(2); }, Verdict::wrongSlave,
     Verdict::good, &LineCounts::wrongSlave},
    {"exception", [](sim::SimController& s) { s.exceptionNext(3); }, Verdict::exception,
     Verdict::good, &LineCounts::exceptions},
    // Answered after the time-out: the retry finds the late answer ahead of its own.
    {"late reply", [](sim::SimController& s) { s.delayNext(0.3); }, Verdict::noReply,
     Verdict::lateBytesDiscarded, &LineCounts::noReplies},
};

} // namespace

TEST_F(TrafficLine, EachVerdictLandsOnItsFrameAndTheCountsMatchTheFaults) {
    LineCounts expected;
    for (const Injected& fault : kFaults) {
        SCOPED_TRACE(fault.name);
        objects().traffic.clearTable();
        fault.inject(*sim);
        EXPECT_EQ(pollRegister(controller(), reg::pv), 237);
        const std::vector<TrafficRow> rows = table();
        ASSERT_EQ(rows.size(), 4u);
        for (int i : {0, 2}) {
            EXPECT_TRUE(rows[i].tx);
            EXPECT_EQ(hexText(rows[i].bytes), "01 03 10 00 00 01 80 CA");
            EXPECT_EQ(rows[i].meaning, "read 0x1000 PV");
        }
        EXPECT_FALSE(rows[1].tx);
        EXPECT_EQ(rows[1].verdict, fault.first);
        EXPECT_EQ(rows[0].verdict, fault.first);
        EXPECT_EQ(rows[1].attempt, 1);
        EXPECT_EQ(rows[3].verdict, fault.second);
        EXPECT_EQ(rows[3].attempt, 2);
        EXPECT_EQ(rows[3].meaning, "read 0x1000 PV → 23.7");
        EXPECT_GE(rows[3].roundTripMs, 0.0);
        if (fault.first == Verdict::exception) {
            EXPECT_EQ(rows[1].meaning, "read 0x1000 PV → exception 03 (illegal data value)");
        }

        expected.requests += 2;
        expected.good += 1;
        expected.retries += 1;
        ++(expected.*fault.counter);
        // Counted in bytes: those of the late answer the retry's flush left.
        if (fault.second == Verdict::lateBytesDiscarded) expected.lateBytesDiscarded += 7;
    }
    const LineCounts got = objects().tap.statistics().counts();
    EXPECT_EQ(got.requests, expected.requests);
    EXPECT_EQ(got.good, expected.good);
    EXPECT_EQ(got.retries, expected.retries);
    EXPECT_EQ(got.noReplies, expected.noReplies);
    EXPECT_EQ(got.crcOrShort, expected.crcOrShort);
    EXPECT_EQ(got.wrongSlave, expected.wrongSlave);
    EXPECT_EQ(got.exceptions, expected.exceptions);
    EXPECT_GE(got.lateBytesDiscarded, 1);
    EXPECT_LE(got.lateBytesDiscarded, expected.lateBytesDiscarded);
    EXPECT_TRUE(got.lastFailure.has_value());
}

TEST_F(TrafficLine, WritesAreDecodedWithTheControllersAnswer) {
    EXPECT_TRUE(writeRegister(controller(), reg::setValue, 250).ok());
    sim->exceptionNext(3);
    EXPECT_TRUE(writeRegister(controller(), reg::setValue, 20000).refused());
    const std::vector<TrafficRow> rows = table();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(hexText(rows[0].bytes), "01 06 00 00 00 FA 09 89");
    EXPECT_EQ(rows[1].meaning, "write 0x0000 SV 25.0 → confirmed");
    EXPECT_EQ(hexText(rows[3].bytes), "01 86 03 02 61");
    EXPECT_EQ(rows[3].meaning, "write 0x0000 SV 2000.0 → exception 03 (illegal data value)");
}

// The filter hides good exchanges; a paused table stays as it is while
// frames are still counted, and catches up when it goes on.
TEST_F(TrafficLine, FilterPauseClearAndSave) {
    sim->dropReplies(1);
    pollRegister(controller(), reg::pv);
    pollRegister(controller(), reg::pv);
    objects().traffic.pickUpNow();
    EXPECT_EQ(objects().traffic.rowsShown(), 6);
    switchTo("failuresOnlySwitch", true);
    EXPECT_EQ(objects().traffic.rowsShown(), 2);
    switchTo("failuresOnlySwitch", false);

    switchTo("pauseButton", true);
    pollRegister(controller(), reg::pv);
    objects().traffic.pickUpNow();
    EXPECT_EQ(objects().traffic.rowsShown(), 6);
    EXPECT_EQ(objects().tap.statistics().counts().requests, 4);
    switchTo("pauseButton", false);
    EXPECT_EQ(objects().traffic.rowsShown(), 8);

    const std::string saved = workDir + "/traffic.csv";
    const auto savedLines = [&] {
        std::ifstream in(saved);
        std::string line;
        std::vector<std::string> lines;
        while (std::getline(in, line))
            lines.push_back(line);
        return lines;
    };
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/traffic"});
    click("saveButton");
    // Written whole under its name, or not at all.
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(saved); }));
    const std::vector<std::string> lines = savedLines();
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0].rfind("time,direction,bytes,verdict,meaning", 0), 0u);
    EXPECT_NE(lines[2].find(",RX,,no reply,read 0x1000 PV → no reply,1,"), std::string::npos)
        << lines[2];

    click("clearButton");
    EXPECT_EQ(objects().traffic.rowsShown(), 0);
    EXPECT_EQ(objects().tap.statistics().counts().requests, 4); // the statistics stay

    // A file that is there is replaced only when the operator says so.
    for (int answer : {2, 1}) {
        popups.files.push_back({VAL_EXISTING_FILE_SELECTED, saved});
        popups.buttons.push_back(answer);
        popups.shown.clear();
        click("saveButton");
        ASSERT_TRUE(waitUntil([&] { return popups.buttons.empty(); }));
        ASSERT_TRUE(waitIdle());
        ASSERT_EQ(popups.shown.size(), 2u);
        EXPECT_EQ(popups.shown[1].title, "Save Traffic");
        EXPECT_EQ(popups.shown[1].text, saved + "\nalready exists. Replace it?");
        EXPECT_EQ(savedLines().size(), answer == 1 ? 1u : 9u) << "answer " << answer;
    }

    click("resetStatisticsButton");
    EXPECT_TRUE(waitUntil([&] { return objects().tap.statistics().counts().requests == 0; }));
}
