#pragma once
// Controls of panels/debug.ui the logic names.
#include "panelkit/expected_control.h"

namespace DebugPanel {
inline constexpr const char* file = "debug.ui";
// The panel's handle once the program loaded it (app/panel_set.cpp); 0 before.
inline int handle = 0;
// Request, byte by byte
inline constexpr CtrlId idEntry = "idEntry";
inline constexpr CtrlId functionEntry = "functionEntry";
inline constexpr CtrlId regHighEntry = "regHighEntry";
inline constexpr CtrlId regLowEntry = "regLowEntry";
inline constexpr CtrlId data1Entry = "data1Entry";
inline constexpr CtrlId data2Entry = "data2Entry";
inline constexpr CtrlId requestCrcLow = "requestCrcLow";
inline constexpr CtrlId requestCrcHigh = "requestCrcHigh";
inline constexpr CtrlId sendButton = "sendButton";
// Reply as it arrived
inline constexpr CtrlId replyAddress = "replyAddress";
inline constexpr CtrlId replyFunction = "replyFunction";
inline constexpr CtrlId replyByte2 = "replyByte2";
inline constexpr CtrlId replyRegLow = "replyRegLow";
inline constexpr CtrlId replyDataHigh = "replyDataHigh";
inline constexpr CtrlId replyDataLow = "replyDataLow";
inline constexpr CtrlId replyCrcLow = "replyCrcLow";
inline constexpr CtrlId replyCrcHigh = "replyCrcHigh";
inline constexpr CtrlId checkCrcLow = "checkCrcLow";
inline constexpr CtrlId checkCrcHigh = "checkCrcHigh";
inline constexpr CtrlId replyValue = "replyValue";
inline constexpr CtrlId replyStatus = "replyStatus";
// Block read
inline constexpr CtrlId countEntry = "countEntry";
inline constexpr CtrlId readBlockButton = "readBlockButton";
inline constexpr CtrlId blockValues = "blockValues";
// Converter
inline constexpr CtrlId decimalEntry = "decimalEntry";
inline constexpr CtrlId hexEntry = "hexEntry";
inline constexpr CtrlId decToHexButton = "decToHexButton";
inline constexpr CtrlId hexToDecButton = "hexToDecButton";
inline constexpr CtrlId portButton = "portButton";
// Other
inline constexpr CtrlId lockRing = "lockRing";
inline constexpr CtrlId exitButton = "exitButton";

inline constexpr ExpectedControl controls[] = {
    {idEntry, ValueType::Integer},       {functionEntry, ValueType::Integer},
    {regHighEntry, ValueType::Integer},  {regLowEntry, ValueType::Integer},
    {data1Entry, ValueType::Integer},    {data2Entry, ValueType::Integer},
    {requestCrcLow, ValueType::Integer}, {requestCrcHigh, ValueType::Integer},
    {sendButton, ValueType::Button},     {replyAddress, ValueType::Integer},
    {replyFunction, ValueType::Integer}, {replyByte2, ValueType::Integer},
    {replyRegLow, ValueType::Integer},   {replyDataHigh, ValueType::Integer},
    {replyDataLow, ValueType::Integer},  {replyCrcLow, ValueType::Integer},
    {replyCrcHigh, ValueType::Integer},  {checkCrcLow, ValueType::Integer},
    {checkCrcHigh, ValueType::Integer},  {replyValue, ValueType::Real},
    {replyStatus, ValueType::Text},      {decimalEntry, ValueType::Real},
    {hexEntry, ValueType::Integer},      {decToHexButton, ValueType::Button},
    {hexToDecButton, ValueType::Button}, {portButton, ValueType::Button},
    {lockRing, ValueType::Ring},         {exitButton, ValueType::Button},
    {countEntry, ValueType::Integer},    {readBlockButton, ValueType::Button},
    {blockValues, ValueType::Text},
};
} // namespace DebugPanel
