#pragma once
// Panels, controls, popups and timers as the controller logic sees them.
//
// Threads: the GUI thread owns every widget; the control thread runs every
// callback and timer tick, one at a time. Each call below may be made from
// either thread: from the control thread it runs on the GUI thread and waits
// for the result; on the GUI thread it runs directly.
#include "base/number_text.h"
#include "base/time_text.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

using CtrlId = std::string_view;

enum PanelEvent { EVENT_COMMIT = 1, EVENT_RIGHT_CLICK = 5, EVENT_TIMER_TICK = 15 };

enum CtrlAttribute {
    ATTR_DIMMED = 500,
    ATTR_VISIBLE = 530,
    ATTR_CTRL_MODE = 620, // 1 takes operator input, 0 only displays
    ATTR_PRECISION = 735, // digits after the point
    ATTR_MIN_VALUE = 300, // entry limits
    ATTR_MAX_VALUE = 310,
    ATTR_XAXIS_GAIN = 1124,
    ATTR_POINTS_PER_SCREEN = 1171,
    ATTR_INTERVAL = 1270,    // timer interval, seconds
    ATTR_ENABLED = 1271,     // timer running
    ATTR_SHOWS_VALUE = 2001, // read only: 0 while the control shows no value
};

using PanelCallback = std::function<int(int panel, CtrlId control, int event)>;

// Loads panels/<file> (a Qt Designer file); returns a handle > 0 or a negative error.
int LoadPanel(int parentPanel, const char* file, int resourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
int DiscardPanel(int panel);
// Shows a panel modal to the operator; the logic keeps running.
int InstallPopup(int panel);
// Removes the most recently installed popup (all of them when all != 0).
int RemovePopup(int all);

int GetCtrlVal(int panel, CtrlId control, int* value);
int GetCtrlVal(int panel, CtrlId control, short* value);
int GetCtrlVal(int panel, CtrlId control, unsigned short* value);
int GetCtrlVal(int panel, CtrlId control, unsigned char* value);
int GetCtrlVal(int panel, CtrlId control, double* value);
int GetCtrlVal(int panel, CtrlId control, float* value);
int GetCtrlVal(int panel, CtrlId control, std::string* value);
int SetCtrlVal(int panel, CtrlId control, int value);
int SetCtrlVal(int panel, CtrlId control, double value);
int SetCtrlVal(int panel, CtrlId control, const std::string& value);
inline int SetCtrlVal(int p, CtrlId c, short v) {
    return SetCtrlVal(p, c, int(v));
}
inline int SetCtrlVal(int p, CtrlId c, unsigned short v) {
    return SetCtrlVal(p, c, int(v));
}
inline int SetCtrlVal(int p, CtrlId c, unsigned char v) {
    return SetCtrlVal(p, c, int(v));
}
inline int SetCtrlVal(int p, CtrlId c, float v) {
    return SetCtrlVal(p, c, double(v));
}
inline int SetCtrlVal(int p, CtrlId c, const char* v) {
    return SetCtrlVal(p, c, std::string(v));
}
// The control shows no value (a numeric "—", a ring no item) until the logic
// sets one or the operator types or picks one: nothing read is there to show.
int ClearCtrlVal(int panel, CtrlId control);
int SetCtrlAttribute(int panel, CtrlId control, int attribute, double value);
// What a numeric shows after its number, such as " °C"; "" for nothing.
int SetCtrlSuffix(int panel, CtrlId control, const std::string& suffix);
int GetCtrlAttribute(int panel, CtrlId control, int attribute, double* value);
// Whether a timer control is running. A tick queued just before its timer
// stopped still arrives; its callback asks this first and does nothing.
inline bool TimerRunning(int panel, CtrlId timer) {
    double on = 0;
    return GetCtrlAttribute(panel, timer, ATTR_ENABLED, &on) == 0 && on != 0;
}

// Every control of every loaded panel that its panel file marks with the
// dynamic property `mark` set true (such as "temperature").
struct MarkedControl {
    int panel;
    CtrlId control;
};
std::vector<MarkedControl> GetMarkedControls(const char* mark);

int MessagePopup(const std::string& title, const std::string& text);
// A message the operator reads while the logic goes on: returns at once,
// and the window stays until the operator closes it or the logic withdraws
// it. A newer notice with the same title replaces the older one.
int NoticePopup(const std::string& title, const std::string& text);
void WithdrawNotice(const std::string& title);
// Buttons are numbered from 1; an empty label means no such button.
// focusButton, enterButton and escapeButton name which button has the focus
// and which one Enter and Escape choose (0: none).
int GenericMessagePopup(const std::string& title, const std::string& text,
                        const std::string& button1, const std::string& button2,
                        const std::string& button3, int focusButton, int enterButton,
                        int escapeButton);

enum FileSelectResult {
    VAL_NO_FILE_SELECTED = 0,
    VAL_EXISTING_FILE_SELECTED = 1,
    VAL_NEW_FILE_SELECTED = 2
};
enum FileButtonLabel {
    VAL_OK_BUTTON = 0,
    VAL_SAVE_BUTTON = 1,
    VAL_SELECT_BUTTON = 2,
    VAL_LOAD_BUTTON = 3
};
int FileSelectPopup(const std::string& defaultDirectory, const std::string& defaultSpec,
                    const std::string& filterList, const std::string& title, int buttonLabel,
                    int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, std::string* path);

int RunUserInterface();
int QuitUserInterface(int code);

// Strip chart: values holds one point per trace (trace 1 first), taken at
// sampleTime (seconds on the clock of SampleTime()).
int PlotStripChart(int panel, CtrlId chart, const float* values, int count, double sampleTime);
int ClearStripChart(int panel, CtrlId chart);
// Samples are missing from here on: the traces' next points start new lines.
int BreakStripChart(int panel, CtrlId chart);
enum AxisScaling { VAL_MANUAL = 0, VAL_AUTOSCALE = 1 };
enum ChartAxis { VAL_LEFT_YAXIS = 1 };
int SetAxisScalingMode(int panel, CtrlId chart, int axis, int mode, double min, double max);
int GetAxisScalingMode(int panel, CtrlId chart, int axis, int* mode, double* min, double* max);
