#include "link/retry_policy.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/status_message.h"
#include "params/parameter_file.h"
#include "params/params_state.h"
#include "pid/panel/ids/pid_panel.h"
#include "support/controller_fixture.h"

#include <functional>
#include <iterator>
#include <sstream>
#include <utility>

namespace {

class ParameterFileTest : public ControllerTest {
  protected:
    void SetUp() override {
        ControllerTest::SetUp();
        connect(1);
        popups.shown.clear();
    }
    void save(const std::string& name) {
        popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/" + name});
        commit(MainPanel::handle, MainPanel::saveFileButton);
    }
    // Loads the file and answers the question before the restore with
    // `button` (1 sends). The question is taken out of the record, so that
    // what follows it is counted as before.
    void load(const std::string& name, int button = 1) {
        popups.files.push_back({VAL_EXISTING_FILE_SELECTED, workDir + "/" + name});
        popups.buttons.push_back(button);
        const size_t before = popups.shown.size();
        commit(MainPanel::handle, MainPanel::loadFileButton);
        popups.buttons.clear();
        for (size_t i = before; i < popups.shown.size(); ++i)
            if (popups.shown[i].title == "Restore Parameter File") {
                question = popups.shown[i].text;
                popups.shown.erase(popups.shown.begin() + long(i));
                return;
            }
        question.clear();
    }
    std::string question;
};

// The file's text with field (1 to 38) holding value instead.
std::string withField(const std::string& text, std::size_t field, const std::string& value) {
    std::istringstream in(text);
    std::string out, token;
    for (std::size_t i = 1; in >> token; ++i)
        out += (out.empty() ? "" : " ") + (i == field ? value : token);
    return out;
}

} // namespace

TEST_F(ParameterFileTest, SavedFileRestoresTheController) {
    sim->setReg(0x00, 456);
    sim->setReg(0x24, 8000);
    sim->setReg(0x1C, 3);
    sim->setReg(0x12, 321); // written but never read back in bulk
    commit(MainPanel::handle, MainPanel::readButton);
    save("backup.prm");
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Load Parameter File");
    EXPECT_EQ(lastStatus(), "parameter file saved: " + workDir + "/backup.prm");
    const std::string saved = readFile("backup.prm");
    EXPECT_EQ(saved, formatParameterFile(controller().parmRecord));

    sim->setReg(0x00, 100);
    sim->setReg(0x24, 9000); // wide enough that the controller takes the saved SV
    sim->setReg(0x1C, 0);
    sim->setReg(0x12, 0);
    sim->clearRequestLog();
    load("backup.prm");
    EXPECT_EQ(sim->reg(0x00), 456);
    EXPECT_EQ(sim->reg(0x24), 8000);
    EXPECT_EQ(sim->reg(0x1C), 3);
    EXPECT_EQ(sim->reg(0x12), 321);
    const auto log = sim->requestLog();
    ASSERT_EQ(log.size(), 52u); // 26 writes, decimal point first, then 26 reads
    EXPECT_EQ(log[0].substr(0, 17), "01 06 00 21 00 01");
    EXPECT_EQ(log[2].substr(0, 17), "01 06 00 00 01 C8");
    EXPECT_EQ(log[25].substr(0, 11), "01 06 00 25");
    EXPECT_EQ(log[26].substr(0, 17), "01 03 00 21 00 01");
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 45.6f);
    EXPECT_EQ(popups.shown.size(), 2u); // the two file dialogs, no error
    EXPECT_EQ(lastStatus(),
              "parameter file loaded into the controller: " + workDir + "/backup.prm");
}

// The file holds the controller's PID block: the save reads it first when
// this connection has not (once per connection), and saves nothing while
// the controller does not answer.
TEST_F(ParameterFileTest, SaveHoldsTheControllersPidBlock) {
    sim->setReg(0x11, 75);
    sim->setReg(0x12, 321);
    sim->setReg(0x17, 9);
    shortenTimeOut();
    sim->dropReplies(retry::kReadAttempts);
    save("silent.prm");
    EXPECT_FALSE(fileExists("silent.prm"));
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Controller Not Answering");
    EXPECT_EQ(lastStatus(), "parameter file not saved: the controller does not answer");

    sim->clearRequestLog();
    save("pid.prm");
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 00 11 00 0B 54 08"});
    auto field = [&](const std::string& name, int n) {
        std::istringstream in(readFile(name));
        std::string token;
        for (int i = 0; i < n; ++i)
            in >> token;
        return token;
    };
    EXPECT_EQ(field("pid.prm", 5), "7.50");
    EXPECT_EQ(field("pid.prm", 19), "321");
    EXPECT_EQ(field("pid.prm", 27), "9");

    // Read in this connection: saved again as read. A new connection reads it anew.
    sim->setReg(0x12, 123);
    save("again.prm");
    EXPECT_EQ(field("again.prm", 19), "321");
    connect(1);
    save("again.prm");
    EXPECT_EQ(field("again.prm", 19), "123");
}

// A value the controller refused is not the controller's: the save reads
// the block again rather than keep it.
TEST_F(ParameterFileTest, SaveReadsAgainWhatTheControllerRefused) {
    commit(MainPanel::handle, MainPanel::pidButton); // the PID panel reads the block
    SetCtrlVal(PidPanel::handle, PidPanel::pid11Numeric, 9.9);
    sim->exceptionNext(3);
    commit(PidPanel::handle, PidPanel::writeButton);
    sim->clearRequestLog();
    save("refused.prm");
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 00 11 00 0B 54 08"});
    EXPECT_EQ(readFile("refused.prm").substr(32, 7), "   5.00")
        << "P band as the controller holds it";
}

// A restore that changes the decimal point rescales what it does not write,
// register 0x16 among them: the next save reads it again.
TEST_F(ParameterFileTest, SaveAfterARestoreOfTheOtherScaleReadsThePidBlockAgain) {
    sim->setReg(0x16, 55);
    commit(MainPanel::handle, MainPanel::pidButton); // 5.5 with the decimal point
    save("point.prm");
    std::istringstream in(readFile("point.prm"));
    std::vector<std::string> fields{std::istream_iterator<std::string>(in), {}};
    ASSERT_EQ(fields.size(), 38u);
    fields[23] = "0"; // the same numbers, with no decimal place
    std::string whole;
    for (const std::string& f : fields)
        whole += (whole.empty() ? "" : " ") + f;
    writeFile("whole.prm", whole);
    load("whole.prm");
    ASSERT_EQ(sim->reg(0x21), 0);

    sim->clearRequestLog();
    save("after.prm");
    EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 03 00 11 00 0B 54 08"});
    EXPECT_EQ(readFile("after.prm").substr(96, 7), "  55.00");
}

TEST_F(ParameterFileTest, TruncatedFileIsRefusedAndNothingIsSent) {
    writeFile("short.prm", "25.0 1 2 3 4 5 6 7 8 9");
    const ParmRecord before = controller().parmRecord;
    const int requests = sim->requestCount();
    load("short.prm");
    EXPECT_EQ(sim->requestCount(), requests);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Parameter File Error");
    EXPECT_NE(popups.shown[1].text.find("short.prm"), std::string::npos);
    EXPECT_NE(popups.shown[1].text.find("holds 10 fields"), std::string::npos);
    EXPECT_EQ(formatParameterFile(controller().parmRecord), formatParameterFile(before));
}

TEST_F(ParameterFileTest, CancelledDialogsDoNothing) {
    const int requests = sim->requestCount();
    popups.files.push_back({VAL_NO_FILE_SELECTED, ""});
    commit(MainPanel::handle, MainPanel::saveFileButton);
    popups.files.push_back({VAL_NO_FILE_SELECTED, ""});
    commit(MainPanel::handle, MainPanel::loadFileButton);
    EXPECT_EQ(sim->requestCount(), requests);
    EXPECT_EQ(popups.shown.size(), 2u);
}

TEST_F(ParameterFileTest, SaveThatCannotBeWrittenIsReported) {
    popups.files.push_back({VAL_NEW_FILE_SELECTED, workDir + "/no/such/dir/backup.prm"});
    commit(MainPanel::handle, MainPanel::saveFileButton);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Save Failed");
}

TEST_F(ParameterFileTest, SilentControllerStopsTheRestore) {
    shortenTimeOut();
    save("backup.prm");
    popups.shown.clear();
    const int requests = sim->requestCount();
    // The decimal point is taken; then the controller falls silent.
    sim->setRequestHook([&, requests](int n) {
        if (n == requests + 2) sim->dropReplies(1000);
    });
    load("backup.prm");
    EXPECT_EQ(sim->requestCount(), requests + 4); // three unanswered writes, then it stops
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Controller Not Answering");
    // What the controller took, may have taken and never got, by name.
    EXPECT_NE(popups.shown[1].text.find(
                  "\n\nConfirmed: Decimal point (0x0021).\nSent without confirmation: Time unit "
                  "(PTME) (0x0026), SV (0x0000), Alarm 1 set point (0x0004).\nNever sent: Alarm 1 "
                  "hysteresis (0x0005), A1FU (0x0006), "),
              std::string::npos)
        << popups.shown[1].text;
    sim->setRequestHook(nullptr);
}

// A file with the decimal point on, restored onto a controller that keeps
// it off, would otherwise leave SV and every limit ten times too large.
TEST_F(ParameterFileTest, DecimalPointNotTakenStopsTheRestoreBeforeAnyScaledValue) {
    shortenTimeOut();
    sim->setReg(0x21, 1);
    sim->setReg(0x00, 250);
    commit(MainPanel::handle, MainPanel::readButton);
    ASSERT_FLOAT_EQ(controller().parmRecord.sv, 25.0f);
    save("point.prm");

    sim->setReg(0x21, 0);
    sim->setReg(0x00, 100);
    commit(MainPanel::handle, MainPanel::readButton);
    ASSERT_EQ(controller().scale(), Scale{});
    const std::string before = formatParameterFile(controller().parmRecord);

    const std::pair<std::function<void()>, std::string> faults[] = {
        {[&] { sim->exceptionNext(3); }, "the controller refused it (exception code 3)"},
        {[&] { sim->dropReplies(1); }, "the controller did not confirm it"},
    };
    for (const auto& [fault, how] : faults) {
        popups.shown.clear();
        sim->clearRequestLog();
        fault();
        load("point.prm");
        EXPECT_EQ(sim->requestLog(), std::vector<std::string>{"01 06 00 21 00 01 18 00"}) << how;
        EXPECT_EQ(sim->reg(0x00), 100) << how;
        EXPECT_EQ(controller().scale(), Scale{}) << how;
        EXPECT_EQ(formatParameterFile(controller().parmRecord), before) << how;
        ASSERT_EQ(popups.shown.size(), 2u) << how; // the file dialog and one message
        EXPECT_EQ(popups.shown[1].title, "Decimal Point Not Accepted");
        EXPECT_NE(popups.shown[1].text.find(how), std::string::npos) << popups.shown[1].text;
        EXPECT_NE(popups.shown[1].text.find("Nothing else was written"), std::string::npos);
    }
}

// Before a restore the operator sees what it changes and can still say no;
// a file that changes nothing is said to, and sent only when asked.
TEST_F(ParameterFileTest, RestoreShowsWhatChangesAndSendsOnlyWhenAsked) {
    sim->setReg(0x00, 456);
    commit(MainPanel::handle, MainPanel::readButton);
    save("backup.prm");
    sim->setReg(0x00, 300);
    commit(MainPanel::handle, MainPanel::readButton);
    popups.shown.clear();

    int requests = sim->requestCount();
    load("backup.prm", 2);
    EXPECT_EQ(sim->requestCount(), requests) << "cancelled: nothing sent";
    EXPECT_EQ(sim->reg(0x00), 300);
    EXPECT_NE(question.find("SV (0x0000): 30.0 \u2192 45.6\n"), std::string::npos) << question;
    EXPECT_NE(question.find("changes 1 parameter in"), std::string::npos) << question;
    EXPECT_FLOAT_EQ(controller().parmRecord.sv, 30.0f)
        << "the record still holds what was read";

    load("backup.prm", 1);
    EXPECT_EQ(sim->reg(0x00), 456);

    // Now the controller holds the file: nothing to send, unless asked.
    requests = sim->requestCount();
    load("backup.prm", 2);
    EXPECT_EQ(sim->requestCount(), requests);
    EXPECT_NE(question.find("nothing needs to be sent"), std::string::npos) << question;
    load("backup.prm", 1);
    EXPECT_EQ(sim->requestCount(), requests + 52) << "\"Send anyway\" restores in full";
    for (const PopupRecord& shown : popups.shown)
        EXPECT_EQ(shown.kind, "file") << shown.title << ": " << shown.text;
}

TEST_F(ParameterFileTest, RestoreWithNothingReadSaysTheControllersValuesAreUnknown) {
    save("backup.prm");
    controller().forgetAllHeld(); // as if the start-up read had not come back
    const int requests = sim->requestCount();
    load("backup.prm", 2);
    EXPECT_EQ(sim->requestCount(), requests);
    EXPECT_NE(question.find("values are unknown"), std::string::npos) << question;
}

// A value its field cannot take is refused by line and field before the
// question; a code no table knows is named in it, for the operator to decide.
TEST_F(ParameterFileTest, ValuesAreCheckedAgainstTheirFieldsBeforeAnythingIsSent) {
    save("backup.prm");
    const std::string saved = readFile("backup.prm");
    writeFile("sensor.prm", withField(saved, 21, "268"));
    writeFile("erop.prm", withField(saved, 29, "99"));
    popups.shown.clear();
    const int requests = sim->requestCount();

    load("sensor.prm");
    EXPECT_EQ(question, "") << "refused before the question";
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[1].title, "Parameter File Error");
    EXPECT_NE(popups.shown[1].text.find("line 1, field 21 (268) does not fit its register: Sensor "
                                        "type (0x001C) holds one byte, 0 to 255"),
              std::string::npos)
        << popups.shown[1].text;

    load("erop.prm", 2);
    EXPECT_NE(question.find("EROP (0x0027): 0 \u2192 99 (unknown)\n"), std::string::npos)
        << question;
    EXPECT_NE(question.find("In doubt, sent as the file holds them if you go on:\n    line 1, "
                            "field 29: EROP (0x0027): 99 (unknown)\n"),
              std::string::npos)
        << question;
    EXPECT_EQ(sim->requestCount(), requests);
    load("erop.prm", 1);
    EXPECT_EQ(sim->reg(0x27), 99);
}
