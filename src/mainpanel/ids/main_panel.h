#pragma once
// Controls of panels/main.ui the logic names.
#include "panelkit/expected_control.h"

namespace MainPanel {
inline constexpr const char* file = "main.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
// Connection
inline constexpr CtrlId idNumeric = "idNumeric";
inline constexpr CtrlId portSelector = "portSelector";
inline constexpr CtrlId identificationDisplay = "identificationDisplay";
inline constexpr CtrlId connectionLed = "connectionLed";
inline constexpr CtrlId rs232StatusButton = "rs232StatusButton";
inline constexpr CtrlId connectionButton = "connectionButton";
inline constexpr CtrlId statusLine = "statusLine";
// Live values and control mode
inline constexpr CtrlId pvDisplay = "pvDisplay";
inline constexpr CtrlId pvReadSwitch = "pvReadSwitch";
inline constexpr CtrlId pvNote = "pvNote";
inline constexpr CtrlId svEntry = "svEntry";
inline constexpr CtrlId modeRing = "modeRing";
inline constexpr CtrlId outputIndicator = "outputIndicator";
inline constexpr CtrlId autoTuneIndicator = "autoTuneIndicator";
inline constexpr CtrlId outputLevelNumeric = "outputLevelNumeric";
inline constexpr CtrlId outputSetButton = "outputSetButton";
inline constexpr CtrlId pvPollTimer = "pvPollTimer";
inline constexpr CtrlId alarmTimer = "alarmTimer";
inline constexpr CtrlId autoTuneTimer = "autoTuneTimer";
// Configuration
inline constexpr CtrlId sensorRing = "sensorRing";
inline constexpr CtrlId unitRing = "unitRing";
inline constexpr CtrlId actionRing = "actionRing";
inline constexpr CtrlId decimalPointRing = "decimalPointRing";
inline constexpr CtrlId timeUnitRing = "timeUnitRing";
inline constexpr CtrlId eropRing = "eropRing";
inline constexpr CtrlId cycleTimeNumeric = "cycleTimeNumeric";
inline constexpr CtrlId cycleTimeHelp = "cycleTimeHelp";
// Alarm 1
inline constexpr CtrlId a1FunctionRing = "a1FunctionRing";
inline constexpr CtrlId a1ModeRing = "a1ModeRing";
inline constexpr CtrlId alarmSetPointNumeric = "alarmSetPointNumeric";
inline constexpr CtrlId hysteresisNumeric = "hysteresisNumeric";
inline constexpr CtrlId alarmDelayLabel = "alarmDelayLabel";
inline constexpr CtrlId alarmDelayMajor = "alarmDelayMajor";
inline constexpr CtrlId alarmDelayMinor = "alarmDelayMinor";
inline constexpr CtrlId alarmDelayHelp = "alarmDelayHelp";
inline constexpr CtrlId alarmUpdateButton = "alarmUpdateButton";
// Option
inline constexpr CtrlId hiLimitNumeric = "hiLimitNumeric";
inline constexpr CtrlId loLimitNumeric = "loLimitNumeric";
inline constexpr CtrlId pvOffsetNumeric = "pvOffsetNumeric";
inline constexpr CtrlId swFilterNumeric = "swFilterNumeric";
inline constexpr CtrlId optionHelp = "optionHelp";
inline constexpr CtrlId optionUpdateButton = "optionUpdateButton";
// Ramp and soft start
inline constexpr CtrlId rampRateNumeric = "rampRateNumeric";
inline constexpr CtrlId softStartLabel = "softStartLabel";
inline constexpr CtrlId softStartMajor = "softStartMajor";
inline constexpr CtrlId softStartMinor = "softStartMinor";
inline constexpr CtrlId softStartHelp = "softStartHelp";
inline constexpr CtrlId softStartUpdateButton = "softStartUpdateButton";
inline constexpr CtrlId modelDNote = "modelDNote";
// Tools
inline constexpr CtrlId readButton = "readButton";
inline constexpr CtrlId saveFileButton = "saveFileButton";
inline constexpr CtrlId loadFileButton = "loadFileButton";
inline constexpr CtrlId chartButton = "chartButton";
inline constexpr CtrlId stepProgramButton = "stepProgramButton";
inline constexpr CtrlId debugButton = "debugButton";
inline constexpr CtrlId pidButton = "pidButton";
inline constexpr CtrlId trafficButton = "trafficButton";
inline constexpr CtrlId programsButton = "programsButton";
inline constexpr CtrlId runsButton = "runsButton";
inline constexpr CtrlId lineHealthButton = "lineHealthButton";
inline constexpr CtrlId nonUserHelp = "nonUserHelp";
inline constexpr CtrlId aboutButton = "aboutButton";
inline constexpr CtrlId quitButton = "quitButton";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ExpectedControl controls[] = {
    {idNumeric, ValueType::Integer},
    {portSelector, ValueType::Ring},
    {identificationDisplay, ValueType::Integer},
    {connectionLed, ValueType::Led},
    {rs232StatusButton, ValueType::Button},
    {connectionButton, ValueType::Button},
    {statusLine, ValueType::Text},
    {pvDisplay, ValueType::Real},
    {pvReadSwitch, ValueType::Toggle},
    {pvNote, ValueType::Text},
    {svEntry, ValueType::Real},
    {modeRing, ValueType::Ring},
    {outputIndicator, ValueType::Led},
    {autoTuneIndicator, ValueType::Led},
    {outputLevelNumeric, ValueType::Real},
    {outputSetButton, ValueType::Button},
    {pvPollTimer, ValueType::Timer},
    {alarmTimer, ValueType::Timer},
    {autoTuneTimer, ValueType::Timer},
    {sensorRing, ValueType::Ring},
    {unitRing, ValueType::Ring},
    {actionRing, ValueType::Ring},
    {decimalPointRing, ValueType::Ring},
    {timeUnitRing, ValueType::Ring},
    {eropRing, ValueType::Ring},
    {cycleTimeNumeric, ValueType::Integer},
    {cycleTimeHelp, ValueType::Any},
    {a1FunctionRing, ValueType::Ring},
    {a1ModeRing, ValueType::Ring},
    {alarmSetPointNumeric, ValueType::Real},
    {hysteresisNumeric, ValueType::Real},
    {alarmDelayLabel, ValueType::Text},
    {alarmDelayMajor, ValueType::Integer},
    {alarmDelayMinor, ValueType::Integer},
    {alarmDelayHelp, ValueType::Any},
    {alarmUpdateButton, ValueType::Button},
    {hiLimitNumeric, ValueType::Real},
    {loLimitNumeric, ValueType::Real},
    {pvOffsetNumeric, ValueType::Real},
    {swFilterNumeric, ValueType::Real},
    {optionHelp, ValueType::Any},
    {optionUpdateButton, ValueType::Button},
    {rampRateNumeric, ValueType::Real},
    {softStartLabel, ValueType::Text},
    {softStartMajor, ValueType::Integer},
    {softStartMinor, ValueType::Integer},
    {softStartHelp, ValueType::Any},
    {softStartUpdateButton, ValueType::Button},
    {modelDNote, ValueType::Text},
    {readButton, ValueType::Button},
    {saveFileButton, ValueType::Button},
    {loadFileButton, ValueType::Button},
    {chartButton, ValueType::Button},
    {stepProgramButton, ValueType::Button},
    {debugButton, ValueType::Button},
    {pidButton, ValueType::Button},
    {trafficButton, ValueType::Button},
    {programsButton, ValueType::Button},
    {runsButton, ValueType::Button},
    {lineHealthButton, ValueType::Button},
    {nonUserHelp, ValueType::Any},
    {aboutButton, ValueType::Button},
    {quitButton, ValueType::Button},
    {exitButton, ValueType::Button},
};
} // namespace MainPanel
