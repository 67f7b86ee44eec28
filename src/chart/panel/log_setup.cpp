#include "chart/panel/log_setup.h"

#include "chart/data_log.h"
#include "chart/panel/chart.h"
#include "chart/panel/chart_help.h"
#include "chart/panel/ids/chart_panel.h"
#include "chart/panel/ids/log_setup_panel.h"
#include "panelkit/desktop_folder.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {

void setLogSwitch(int value) {
    SetCtrlVal(LogSetupPanel::handle, LogSetupPanel::logSwitch, value);
}

// The file being logged to, or the last one, so the operator can find it.
void showLogFile(const std::string& path, bool logging) {
    SetCtrlVal(LogSetupPanel::handle, LogSetupPanel::logFileName,
               (logging ? "Logging to " : "Last log: ") + path);
    SetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::openFolderButton, ATTR_DIMMED, 0);
}

std::string folderOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Asks how to treat an existing file; a new file is simply started with the
// header. Returns false when the operator backs out.
bool chooseAppend(const std::string& path, bool* append) {
    *append = false;
    if (!fileExists(path)) return true;
    const int choice =
        GenericMessagePopup("File Exist!", "File already exist, do you want to overwrite or append",
                            "Overwrite", "Append", "Exit", 1, 1, 3);
    if (choice != 1 && choice != 2) return false;
    *append = choice == 2;
    return true;
}

void startLogging(DataLog& log) {
    std::string path;
    const int chosen = FileSelectPopup("", "*.dat", "*.dat; *.txt", "Select Filename to log data",
                                       VAL_SAVE_BUTTON, 0, 0, 1, 1, &path);
    bool append = false;
    if (chosen <= 0 || path.empty() || !chooseAppend(path, &append)) {
        setLogSwitch(0);
        return;
    }
    std::string why;
    if (!log.open(path, append, &why)) {
        setLogSwitch(0);
        MessagePopup("Log File Error",
                     "Cannot open the log file\n" + path + "\n" + why + "\nLogging stays off.");
        return;
    }
    showLogFile(path, true);
}

} // namespace

void showLogSwitchFor(int plotting) {
    SetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::logSwitch, ATTR_VISIBLE,
                     plotting ? 0 : 1);
    SetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::switchPlaceholder, ATTR_VISIBLE,
                     plotting ? 1 : 0);
}

void endLogging(DataLog& log) {
    if (log.on()) showLogFile(log.path(), false);
    log.close();
    SetCtrlVal(ChartPanel::handle, ChartPanel::loggingLed, 0);
    setLogSwitch(0);
}

void logLine(DataLog& log, const std::string& line) {
    if (!log.on()) return;
    std::string why;
    if (log.write(line, &why)) return;
    const std::string path = log.path();
    endLogging(log);
    MessagePopup("Log File Error", "Cannot write to the log file\n" + path + "\n" + why +
                                       "\nLogging has been turned off; the lines written before "
                                       "are kept.");
}

int LogFile(Chart& chart, int, CtrlId, int event) {
    if (event == EVENT_RIGHT_CLICK)
        MessagePopup(chart_help::logSetupTitle, chart_help::logSetupText);
    if (event != EVENT_COMMIT) return 0;
    int plotting = 0;
    GetCtrlVal(ChartPanel::handle, ChartPanel::plotButton, &plotting);
    DisplayPanel(LogSetupPanel::handle);
    SetCtrlAttribute(LogSetupPanel::handle, LogSetupPanel::logSwitch, ATTR_DIMMED,
                     plotting ? 1 : 0);
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::intervalKnob, &chart.state.intervalAtOpening);
    return 0;
}

int LogFileOnOff(Chart& chart, int panel, CtrlId control, int event) {
    if (event != EVENT_COMMIT) return 0;
    int on = 0;
    GetCtrlVal(panel, control, &on);
    DataLog& log = chart.log;
    if (!log.on() && on)
        startLogging(log);
    else if (log.on() && !on) {
        showLogFile(log.path(), false);
        log.close();
    }
    return 0;
}

int OpenLogFolder(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const std::string path = chart.log.path();
    if (path.empty()) return 0;
    const std::string folder = folderOf(path);
    if (!OpenFolderOnDesktop(folder))
        MessagePopup("Open Folder", "No file manager could show the folder here. The log file "
                                    "is in\n" +
                                        folder);
    return 0;
}

int FileLogSetupExit(Chart& chart, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    double interval = 0;
    GetCtrlVal(LogSetupPanel::handle, LogSetupPanel::intervalKnob, &interval);
    if (interval != chart.state.intervalAtOpening) {
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::chartTimer, ATTR_INTERVAL, interval);
        // Each point then advances the time axis by one tick interval.
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_XAXIS_GAIN, interval);
        SetCtrlAttribute(ChartPanel::handle, ChartPanel::stripChart, ATTR_POINTS_PER_SCREEN,
                         chart.state.scale.pointsPerScreen);
    }
    HidePanel(LogSetupPanel::handle);
    return 0;
}

int LogCaution(int, CtrlId, int event) {
    // The "?" button answers a plain click as well as a right click.
    if (event == EVENT_RIGHT_CLICK || event == EVENT_COMMIT)
        MessagePopup(chart_help::cautionTitle, chart_help::cautionText);
    return 0;
}

// The interval lives in the log setup panel; this button is a shortcut to it.
int LogTimer(Chart& chart, int panel, CtrlId control, int event) {
    if (event == EVENT_COMMIT) LogFile(chart, panel, control, event);
    return 0;
}
