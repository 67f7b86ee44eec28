// Logging from the chart: choosing the file, the overwrite-or-append
// question, one line per tick, and every way logging ends.
#include "chart/data_log.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "mainpanel/ids/main_panel.h"
#include "monitor/link_fixture.h"

#include <QAbstractSpinBox>
#include <QDesktopServices>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <regex>

namespace {

class LogSetupTest : public LinkedTest {
  protected:
    void SetUp() override {
        LinkedTest::SetUp();
        sim->setReg(0x0000, 1000);
        sim->setReg(0x1000, 987);
        commit(MainPanel::handle, MainPanel::chartButton);
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, 3600);
        commit(ChartPanel::handle, ChartPanel::logSetupButton);
        path = workDir + "/run.dat";
    }
    // Turns the log switch on with the file dialog answering path.
    void switchOn(int dialogResult = VAL_EXISTING_FILE_SELECTED) {
        popups.files.emplace_back(dialogResult, path);
        setValueAndCommit(LogSetupPanel::handle, LogSetupPanel::logSwitch, 1);
    }
    void plot(int on) { setValueAndCommit(ChartPanel::handle, ChartPanel::plotButton, on); }
    void tick() {
        postTick(ChartPanel::handle, ChartPanel::chartTimer);
        ASSERT_TRUE(waitIdle());
    }
    static int value(int panel, CtrlId c) {
        int v = -1;
        GetCtrlVal(panel, c, &v);
        return v;
    }
    std::string path;
};

const std::string kHeader = "  Date,       Time,     SV,    PV\n";

TEST_F(LogSetupTest, NewFileGetsTheHeaderThenOneLinePerTickWhilePlotting) {
    switchOn(VAL_NEW_FILE_SELECTED);
    EXPECT_TRUE(popups.shown.empty() || popups.shown.back().kind == "file")
        << "a new file needs no overwrite question";
    ASSERT_TRUE(objects().log.on());
    EXPECT_EQ(readFile("run.dat"), kHeader);
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 0);
    plot(1);
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 1);
    tick();
    tick();
    const std::string text = readFile("run.dat");
    const std::regex layout(
        kHeader + "(\\d{1,2}/\\d{1,2}/\\d{4}, \\d\\d:\\d\\d:\\d\\d, 100\\.0,  98\\.7\\n){2}");
    EXPECT_TRUE(std::regex_match(text, layout)) << text;

    plot(0); // the LED goes out, logging goes on
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 0);
    EXPECT_TRUE(objects().log.on());
    plot(1);
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 1);
}

TEST_F(LogSetupTest, ExistingFileIsOverwrittenOrAppendedAsChosen) {
    writeFile("run.dat", "old line\n");
    popups.buttons.push_back(2); // Append
    switchOn();
    ASSERT_TRUE(objects().log.on());
    const PopupRecord& ask = popups.shown.back();
    EXPECT_EQ(ask.title, "File Exist!");
    EXPECT_EQ(ask.text, "File already exist, do you want to overwrite or append");
    plot(1);
    tick();
    const std::string appended = readFile("run.dat");
    EXPECT_EQ(appended.rfind("old line\n", 0), 0u) << appended;
    EXPECT_EQ(std::count(appended.begin(), appended.end(), '\n'), 2);
    EXPECT_EQ(appended.find("Date"), std::string::npos);
    plot(0);

    setValueAndCommit(LogSetupPanel::handle, LogSetupPanel::logSwitch, 0);
    EXPECT_FALSE(objects().log.on());
    popups.buttons.push_back(1); // Overwrite
    switchOn();
    EXPECT_EQ(readFile("run.dat"), kHeader);
}

TEST_F(LogSetupTest, CancelOrExitLeavesTheSwitchOffAndNothingOpen) {
    popups.files.emplace_back(VAL_NO_FILE_SELECTED, "");
    setValueAndCommit(LogSetupPanel::handle, LogSetupPanel::logSwitch, 1);
    EXPECT_EQ(value(LogSetupPanel::handle, LogSetupPanel::logSwitch), 0);
    EXPECT_FALSE(objects().log.on());

    writeFile("run.dat", "keep\n");
    popups.buttons.push_back(3); // Exit
    switchOn();
    EXPECT_EQ(value(LogSetupPanel::handle, LogSetupPanel::logSwitch), 0);
    EXPECT_FALSE(objects().log.on());
    EXPECT_EQ(readFile("run.dat"), "keep\n");
}

TEST_F(LogSetupTest, UnopenableFileIsNamedWithTheReason) {
    path = workDir + "/missing/run.dat";
    switchOn(VAL_NEW_FILE_SELECTED);
    EXPECT_FALSE(objects().log.on());
    EXPECT_EQ(value(LogSetupPanel::handle, LogSetupPanel::logSwitch), 0);
    ASSERT_FALSE(popups.shown.empty());
    EXPECT_EQ(popups.shown.back().title, "Log File Error");
    EXPECT_NE(popups.shown.back().text.find(path), std::string::npos);
    EXPECT_NE(popups.shown.back().text.find("No such file"), std::string::npos);
}

TEST_F(LogSetupTest, FullDiskEndsLoggingWithOneMessage) {
    path = "/dev/full";
    popups.buttons.push_back(2); // Append: no header to write yet
    switchOn();
    ASSERT_TRUE(objects().log.on());
    plot(1);
    popups.shown.clear();
    tick();
    ASSERT_EQ(popups.shown.size(), 1u);
    EXPECT_EQ(popups.shown[0].title, "Log File Error");
    EXPECT_FALSE(objects().log.on());
    EXPECT_FALSE(objects().log.fileOpen());
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 0);
    EXPECT_EQ(value(LogSetupPanel::handle, LogSetupPanel::logSwitch), 0);
    tick();
    EXPECT_EQ(popups.shown.size(), 1u) << "plotting goes on without further messages";
}

TEST_F(LogSetupTest, ExitWhilePlottingAndLoggingEndsBoth) {
    // Read PV comes back after plotting; the test counts requests, not its ticks.
    SetCtrlAttribute(MainPanel::handle, MainPanel::pvPollTimer, ATTR_INTERVAL, 3600);
    switchOn(VAL_NEW_FILE_SELECTED);
    plot(1);
    tick();
    commit(ChartPanel::handle, ChartPanel::exitButton);
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::plotButton), 0);
    EXPECT_FALSE(ticking(ChartPanel::handle, ChartPanel::chartTimer));
    EXPECT_EQ(value(ChartPanel::handle, ChartPanel::loggingLed), 0);
    EXPECT_EQ(value(LogSetupPanel::handle, LogSetupPanel::logSwitch), 0);
    double shown = 0;
    GetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::logSwitch, ATTR_VISIBLE, &shown);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(objects().log.on());
    EXPECT_FALSE(objects().log.fileOpen());
    EXPECT_FALSE(dimmed(MainPanel::handle, MainPanel::pvReadSwitch));
    EXPECT_EQ(value(MainPanel::handle, MainPanel::pvReadSwitch), 1);
    const std::string logged = readFile("run.dat");
    EXPECT_EQ(std::count(logged.begin(), logged.end(), '\n'), 2);
    const int before = sim->requestCount();
    tick(); // a tick that was already queued reads and writes nothing more
    EXPECT_EQ(sim->requestCount(), before);
    EXPECT_EQ(readFile("run.dat"), logged);
}

TEST_F(LogSetupTest, HelpTextsAndTheLogTimerShortcut) {
    rightClick(ChartPanel::handle, ChartPanel::logSetupButton);
    rightClick(LogSetupPanel::handle, LogSetupPanel::timingHelp);
    ASSERT_EQ(popups.shown.size(), 2u);
    EXPECT_EQ(popups.shown[0].title, "<Log Timer/File Setup> Help");
    EXPECT_EQ(popups.shown[0].text,
              "1. To change update rate on the strip chart.\n2. To change update rate to the log "
              "file.\n3. Setup filename for data logging.\n4. While plotting, data logging switch "
              "is disabled.\n");
    EXPECT_EQ(popups.shown[1].title, "<Data Update Timing> Help");
    EXPECT_EQ(popups.shown[1].text.substr(0, 12), " If you are ");

    HidePanel(LogSetupPanel::handle);
    QWidget* setup = controlWidget(LogSetupPanel::handle, LogSetupPanel::exitButton)->window();
    ASSERT_FALSE(setup->isVisible());
    commit(ChartPanel::handle, ChartPanel::logTimerButton);
    EXPECT_TRUE(setup->isVisible()) << "the log timer button opens the interval setting";
}

// The interval reads as seconds and still takes a typed number.
TEST_F(LogSetupTest, IntervalShowsItsUnit) {
    auto* knob = qobject_cast<QAbstractSpinBox*>(
        controlWidget(LogSetupPanel::handle, LogSetupPanel::intervalKnob));
    ASSERT_NE(knob, nullptr);
    EXPECT_TRUE(knob->text().endsWith(" s")) << knob->text().toStdString();
    typeAndEnter(LogSetupPanel::handle, LogSetupPanel::intervalKnob, "2.5");
    double interval = 0;
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::intervalKnob, &interval);
    EXPECT_EQ(interval, 2.5);
    EXPECT_EQ(knob->text(), "2.5 s");
}

} // namespace

namespace {

// Stands in for the desktop's file manager: remembers what it was asked to show.
class FolderOpener : public QObject {
    Q_OBJECT
  public:
    QStringList shown;
  public slots:
    void open(const QUrl& url) { shown << url.toLocalFile(); }
};

} // namespace

// The operator can see which file is logged to, during and after, and
// reach its folder.
TEST_F(LogSetupTest, TheLogFileIsNamedAndItsFolderOpens) {
    std::string name;
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::logFileName, &name);
    EXPECT_EQ(name.find(path), std::string::npos);
    double dim = 0;
    GetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::openFolderButton, ATTR_DIMMED, &dim);
    EXPECT_EQ(dim, 1) << "no folder to open before any log";

    switchOn(VAL_NEW_FILE_SELECTED);
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::logFileName, &name);
    EXPECT_EQ(name, "Logging to " + path);
    setValueAndCommit(LogSetupPanel::handle, LogSetupPanel::logSwitch, 0);
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::logFileName, &name);
    EXPECT_EQ(name, "Last log: " + path);

    FolderOpener opener;
    QDesktopServices::setUrlHandler("file", &opener, "open");
    commit(LogSetupPanel::handle, LogSetupPanel::openFolderButton);
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(opener.shown, QStringList{QString::fromStdString(workDir)});
    EXPECT_TRUE(popups.shown.empty() || popups.shown.back().title != "Open Folder");
}

#include "log_setup_test.moc"
