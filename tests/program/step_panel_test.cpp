// Loading and saving ".srp" files on the panel, and the step-chain rule.
#include "program/srp_format.h"
#include "program_fixture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class StepPanel : public ProgramTest {
  protected:
    // Eight steps, each "next" except as changed, one per line.
    std::string fileText(int step2Action, int step7Action) {
        StepProgram prog;
        for (int i = 0; i < 8; ++i)
            prog.steps[std::size_t(i)] = {10.0 * i, 1, 2, 10, 3};
        prog.steps[2].action = uint16_t(step2Action);
        prog.steps[7].action = uint16_t(step7Action);
        prog.band = 4.5;
        return formatSrp(prog);
    }
    void load(const std::string& name) {
        popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/" + name});
        commit(p, sp::loadFileButton);
    }
};

} // namespace

TEST_F(StepPanel, SaveWritesThePanelAndLoadRestoresIt) {
    for (int i = 0; i < 8; ++i)
        setStep(i, 100.5 + i, 30 + i, 60 + i, i == 7 ? 8 : 10, i);
    SetCtrlVal(p, sp::time1[4], 40000);
    SetCtrlVal(p, sp::bandEntry, 12.5);
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/a.srp"});
    commit(p, sp::saveFileButton);
    const std::string saved = readFile("a.srp");
    EXPECT_EQ(saved.substr(0, 26), " 100.5 30 60 10 0 \t\t\t\t\t\t\t\t");
    EXPECT_EQ(saved.substr(saved.size() - 6), "  12.5");

    for (int i = 0; i < 8; ++i)
        setStep(i, 0, 0, 0, 0, 0);
    SetCtrlVal(p, sp::bandEntry, 0.0);
    load("a.srp");
    for (int i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(real(p, sp::stepSv[i]), 100.5 + i);
        EXPECT_EQ(value(p, sp::time2[i]), 60 + i);
        EXPECT_EQ(value(p, sp::loopCnt[i]), i);
    }
    EXPECT_EQ(value(p, sp::time1[4]), 40000);
    EXPECT_DOUBLE_EQ(real(p, sp::bandEntry), 12.5);
    // Both dialogs carry the same title.
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[0].title, "Load Parameter File");
    EXPECT_EQ(popups.shown[1].title, "Load Parameter File");
    EXPECT_EQ(popups.shown[0].text, "*.srp");
    EXPECT_EQ(sim->requestCount(), 0); // files never touch the controller
}

// After an end every later row is dimmed, though its action, shown as
// loaded, says "next".
TEST_F(StepPanel, LoadDimsEveryRowAfterAnEndWithoutRewriting) {
    writeFile("end.srp", fileText(8, 10));
    load("end.srp");
    for (int i = 3; i < 8; ++i)
        EXPECT_TRUE(stepEntriesDimmed(i)) << i;
    for (int i = 2; i < 8; ++i)
        EXPECT_TRUE(dimmed(p, sp::loopCnt[i])) << i;
    EXPECT_EQ(value(p, sp::action[3]), 10); // shown as loaded
    EXPECT_TRUE(stepEntriesEnabled(0));
    EXPECT_TRUE(stepEntriesEnabled(2));

    writeFile("loop.srp", fileText(0, 10));
    load("loop.srp");
    EXPECT_TRUE(stepEntriesEnabled(3));
    EXPECT_FALSE(dimmed(p, sp::loopCnt[2]));
    EXPECT_TRUE(stepEntriesEnabled(7));
    EXPECT_TRUE(dimmed(p, sp::loopCnt[7])); // "next" on the last step
}

TEST_F(StepPanel, CancelledUnreadableOrMalformedLoadChangesNothing) {
    setStep(0, 55.5, 1, 2, 10, 0);
    commit(p, sp::loadFileButton); // no answer scripted: cancelled
    load("missing.srp");
    ASSERT_EQ(popups.shown.size(), 3u);
    EXPECT_EQ(popups.shown[2].kind, "message")
        << "an unreadable file is not passed over in silence";
    EXPECT_NE(popups.shown[2].text.find("missing.srp\" cannot be read"), std::string::npos);

    writeFile("short.srp", fileText(10, 8).substr(0, 40));
    load("short.srp");
    ASSERT_EQ(popups.shown.back().kind, "message");
    EXPECT_NE(popups.shown.back().text.find("not a step program file"), std::string::npos);
    std::string big = fileText(10, 8);
    big.replace(big.find(" 1 2 "), 5, " 70000 2 ");
    writeFile("big.srp", big);
    load("big.srp");
    EXPECT_NE(popups.shown.back().text.find("0 to 65535"), std::string::npos);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 55.5);
}

// Without the decimal point the entries take whole degrees up to 32767; a
// program saved like that loads again, and one that the entries cannot show
// under the decimal point is refused rather than cut to the entries' limit.
TEST_F(StepPanel, ProgramSavedWithoutDecimalPointLoadsAgain) {
    sim->setReg(0x21, 0);
    connectWithDecimals(false);
    setStep(0, 5000, 30, 60, 8, 0);
    setStep(1, -32768, 1, 2, 8, 0);
    SetCtrlVal(p, sp::bandEntry, 9999.0);
    ASSERT_DOUBLE_EQ(real(p, sp::stepSv[0]), 5000);
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/whole.srp"});
    commit(p, sp::saveFileButton);
    setStep(0, 0, 0, 0, 10, 0);
    SetCtrlVal(p, sp::bandEntry, 0.0);
    load("whole.srp");
    EXPECT_EQ(popups.shown.back().kind, "file") << popups.shown.back().text;
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 5000);
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[1]), -32768);
    EXPECT_DOUBLE_EQ(real(p, sp::bandEntry), 9999);

    // The same file with the decimal point on: 5000.0 is no register's tenths.
    sim->setReg(0x21, 1);
    commit(m, MainPanel::readButton);
    setStep(0, 12.5, 30, 60, 8, 0);
    load("whole.srp");
    ASSERT_EQ(popups.shown.back().kind, "message");
    EXPECT_NE(popups.shown.back().text.find("step 0 (5000.0)"), std::string::npos)
        << popups.shown.back().text;
    EXPECT_DOUBLE_EQ(real(p, sp::stepSv[0]), 12.5);
}

TEST_F(StepPanel, FailedSaveIsReportedAndKeepsTheOldFile) {
    writeFile("keep.srp", "old");
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/no/such/dir/x.srp"});
    commit(p, sp::saveFileButton);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_NE(popups.shown[1].text.find("not saved"), std::string::npos);
    commit(p, sp::saveFileButton); // cancelled: nothing written
    EXPECT_EQ(readFile("keep.srp"), "old");
}

TEST_F(StepPanel, CommittedEndCascadesAndLaterNextOpensOnlyOneStep) {
    for (int i = 0; i < 8; ++i)
        setStep(i, 0, 1, 1, 10, 0);
    setValueAndCommit(p, sp::action[2], 8);
    for (int i = 3; i < 8; ++i) {
        EXPECT_EQ(value(p, sp::action[i]), 8) << i;
        EXPECT_TRUE(stepEntriesDimmed(i)) << i;
    }
    for (int i = 2; i < 8; ++i)
        EXPECT_TRUE(dimmed(p, sp::loopCnt[i])) << i;
    EXPECT_TRUE(stepEntriesEnabled(2));

    setValueAndCommit(p, sp::action[2], 10);
    EXPECT_TRUE(stepEntriesEnabled(3));
    EXPECT_TRUE(stepEntriesDimmed(4)); // step 3 still ends the program
    EXPECT_EQ(value(p, sp::action[3]), 8);

    setValueAndCommit(p, sp::action[3], 1); // a loop opens its count
    EXPECT_FALSE(dimmed(p, sp::loopCnt[3]));
    EXPECT_TRUE(stepEntriesEnabled(4));
}

TEST_F(StepPanel, HelpTexts) {
    rightClick(p, sp::loadFileButton);
    rightClick(p, sp::saveFileButton);
    rightClick(p, sp::loopHelp);
    commit(p, sp::helpButton);
    ASSERT_EQ(popups.shown.size(), 4u);
    EXPECT_EQ(popups.shown[0].title, "<Open Frm PC> Help");
    EXPECT_EQ(popups.shown[1].text, "Save the script parameters on the PC screen to a file.");
    EXPECT_EQ(popups.shown[2].text, " When set loop number to 9999, it becomes infinite "
                                    "loop.\n\t\t\t\t  Loop count starting after the first cycle "
                                    "is completed\n");
    EXPECT_EQ(popups.shown[3].title, "Step Programming Help");
}

// A step action no table knows is loaded only when the operator says so.
TEST_F(StepPanel, UnknownActionLoadsOnlyWhenTheOperatorSaysSo) {
    writeFile("nine.srp", fileText(9, 8));
    const int before = value(p, sp::action[2]);
    ASSERT_NE(before, 9);
    popups.buttons.push_back(2);
    load("nine.srp");
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].kind, "generic");
    EXPECT_NE(popups.shown[1].text.find("line 1, number 14: 0x0040 (step 2 action): 9 (unknown)"),
              std::string::npos)
        << popups.shown[1].text;
    EXPECT_EQ(value(p, sp::action[2]), before) << "the panel is unchanged";
    popups.buttons.push_back(1);
    load("nine.srp");
    EXPECT_EQ(value(p, sp::action[2]), 9);
}

// Opening a FIFO alone would wait for a writer, and the panels with it.
TEST_F(StepPanel, FileLoadsRefuseAFifoAtOnce) {
    const std::string fifo = workDir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Frees a reader that did open it, so a failure here ends.
    auto release = [&] {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
    };
    load("fifo");
    release();
    popups.files.push_back({VAL_EXISTING_FILE_SELECTED, fifo});
    commit(m, MainPanel::loadFileButton);
    release();
    ASSERT_EQ(popups.shown.size(), 4u);
    EXPECT_NE(popups.shown[1].text.find("it is a FIFO, not a regular file"), std::string::npos)
        << popups.shown[1].text;
    EXPECT_EQ(popups.shown[3].title, "Parameter File Error");
    EXPECT_NE(popups.shown[3].text.find("it is a FIFO, not a regular file"), std::string::npos)
        << popups.shown[3].text;
    EXPECT_EQ(sim->requestCount(), 0);
}
