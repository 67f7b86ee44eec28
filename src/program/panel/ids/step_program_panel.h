#pragma once
// Controls of panels/step_program.ui the logic names.
#include "panelkit/expected_control.h"

namespace StepProgramPanel {
inline constexpr const char* file = "step_program.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;

inline constexpr int kSteps = 8;
inline constexpr int kSegments = 2 * kSteps;

// One row of five entries per step, indexed 0 to 7 as on the panel.
inline constexpr CtrlId stepSv[kSteps] = {"stepSv0", "stepSv1", "stepSv2", "stepSv3",
                                          "stepSv4", "stepSv5", "stepSv6", "stepSv7"};
inline constexpr CtrlId time1[kSteps] = {"time1_0", "time1_1", "time1_2", "time1_3",
                                         "time1_4", "time1_5", "time1_6", "time1_7"};
inline constexpr CtrlId time2[kSteps] = {"time2_0", "time2_1", "time2_2", "time2_3",
                                         "time2_4", "time2_5", "time2_6", "time2_7"};
inline constexpr CtrlId action[kSteps] = {"action0", "action1", "action2", "action3",
                                          "action4", "action5", "action6", "action7"};
inline constexpr CtrlId loopCnt[kSteps] = {"loopCnt0", "loopCnt1", "loopCnt2", "loopCnt3",
                                           "loopCnt4", "loopCnt5", "loopCnt6", "loopCnt7"};
// Segment 2k is the first segment of step k, 2k+1 its second.
inline constexpr CtrlId segment[kSegments] = {"segment0",  "segment1",  "segment2",  "segment3",
                                              "segment4",  "segment5",  "segment6",  "segment7",
                                              "segment8",  "segment9",  "segment10", "segment11",
                                              "segment12", "segment13", "segment14", "segment15"};
inline constexpr CtrlId bandEntry = "bandEntry";
// Headings of the two time columns; they name the controller's time unit.
inline constexpr CtrlId time1Heading = "head2";
inline constexpr CtrlId time2Heading = "head3";

// What a running program is doing, and its profile.
inline constexpr CtrlId runPositionText = "runPositionText";
inline constexpr CtrlId runTimesText = "runTimesText";
inline constexpr CtrlId runValuesText = "runValuesText";
inline constexpr CtrlId profilePlot = "profilePlot";

inline constexpr CtrlId runSwitch = "runSwitch";
inline constexpr CtrlId statusTimer = "statusTimer";
inline constexpr CtrlId loopHelp = "loopHelp";
inline constexpr CtrlId helpButton = "helpButton";
inline constexpr CtrlId loadCtrlButton = "loadCtrlButton";
inline constexpr CtrlId saveCtrlButton = "saveCtrlButton";
inline constexpr CtrlId loadFileButton = "loadFileButton";
inline constexpr CtrlId saveFileButton = "saveFileButton";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ExpectedControl controls[] = {
    {stepSv[0], ValueType::Real},        {stepSv[1], ValueType::Real},
    {stepSv[2], ValueType::Real},        {stepSv[3], ValueType::Real},
    {stepSv[4], ValueType::Real},        {stepSv[5], ValueType::Real},
    {stepSv[6], ValueType::Real},        {stepSv[7], ValueType::Real},
    {time1[0], ValueType::Integer},      {time1[1], ValueType::Integer},
    {time1[2], ValueType::Integer},      {time1[3], ValueType::Integer},
    {time1[4], ValueType::Integer},      {time1[5], ValueType::Integer},
    {time1[6], ValueType::Integer},      {time1[7], ValueType::Integer},
    {time2[0], ValueType::Integer},      {time2[1], ValueType::Integer},
    {time2[2], ValueType::Integer},      {time2[3], ValueType::Integer},
    {time2[4], ValueType::Integer},      {time2[5], ValueType::Integer},
    {time2[6], ValueType::Integer},      {time2[7], ValueType::Integer},
    {action[0], ValueType::Ring},        {action[1], ValueType::Ring},
    {action[2], ValueType::Ring},        {action[3], ValueType::Ring},
    {action[4], ValueType::Ring},        {action[5], ValueType::Ring},
    {action[6], ValueType::Ring},        {action[7], ValueType::Ring},
    {loopCnt[0], ValueType::Integer},    {loopCnt[1], ValueType::Integer},
    {loopCnt[2], ValueType::Integer},    {loopCnt[3], ValueType::Integer},
    {loopCnt[4], ValueType::Integer},    {loopCnt[5], ValueType::Integer},
    {loopCnt[6], ValueType::Integer},    {loopCnt[7], ValueType::Integer},
    {segment[0], ValueType::Led},        {segment[1], ValueType::Led},
    {segment[2], ValueType::Led},        {segment[3], ValueType::Led},
    {segment[4], ValueType::Led},        {segment[5], ValueType::Led},
    {segment[6], ValueType::Led},        {segment[7], ValueType::Led},
    {segment[8], ValueType::Led},        {segment[9], ValueType::Led},
    {segment[10], ValueType::Led},       {segment[11], ValueType::Led},
    {segment[12], ValueType::Led},       {segment[13], ValueType::Led},
    {segment[14], ValueType::Led},       {segment[15], ValueType::Led},
    {bandEntry, ValueType::Real},        {runSwitch, ValueType::Toggle},
    {time1Heading, ValueType::Text},     {time2Heading, ValueType::Text},
    {runPositionText, ValueType::Text},  {runTimesText, ValueType::Text},
    {runValuesText, ValueType::Text},    {profilePlot, ValueType::Any},
    {statusTimer, ValueType::Timer},     {loopHelp, ValueType::Any},
    {helpButton, ValueType::Button},     {loadCtrlButton, ValueType::Button},
    {saveCtrlButton, ValueType::Button}, {loadFileButton, ValueType::Button},
    {saveFileButton, ValueType::Button}, {exitButton, ValueType::Button},
};
} // namespace StepProgramPanel
