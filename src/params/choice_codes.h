#pragma once
// The controller's codes for every choice parameter, with the labels the
// panels show. The rings on the panels are filled from these tables and the
// simulated controller accepts exactly these codes, so the two cannot drift.
#include "link/control_mode.h"
#include "link/registers.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct Choice {
    int16_t code;
    std::string_view label;
};

struct ChoiceTable {
    std::string_view name; // the ring's "codeTable" property in the panel files
    uint16_t reg;          // register the choice lives in
    std::span<const Choice> choices;
};

namespace choices {

inline constexpr Choice controlMode[] = {
    {codeOf(ControlMode::off), "Off"},         {codeOf(ControlMode::on), "On"},
    {codeOf(ControlMode::autoTune1), "AT1"},   {codeOf(ControlMode::autoTune2), "AT2"},
    {codeOf(ControlMode::manual), "Manual"},   {codeOf(ControlMode::program), "Program"},
};
inline constexpr Choice sensorType[] = {
    {0, "K"},      {1, "J"},      {2, "T"},       {3, "E"},        {4, "N"},        {5, "R"},
    {6, "S"},      {7, "B"},      {8, "L"},       {9, "U"},        {10, "TXK"},     {11, "JPt100"},
    {12, "Pt100"}, {13, "0-5 V"}, {14, "0-10 V"}, {15, "0-20 mA"}, {16, "4-20 mA"}, {17, "0-50 mV"},
};
inline constexpr Choice unit[] = {{0, "°C"}, {1, "°F"}};
inline constexpr Choice action[] = {{0, "Dir"}, {1, "Rev"}};
inline constexpr Choice decimalPoint[] = {{0, "0"}, {1, "0.0"}};
inline constexpr Choice timeUnit[] = {{0, "MMSS"}, {1, "HHMM"}};
inline constexpr Choice errorOperation[] = {
    {0, "Output off, alarm off"},
    {1, "Output off, alarm on"},
    {2, "Output on, alarm off"},
    {3, "Output on, alarm on"},
};
inline constexpr Choice keyLock[] = {
    {0, "oFF (all keys)"}, {1, "Lck1 (SV only)"}, {2, "Lck2 (none)"}};
inline constexpr Choice alarmFunction[] = {
    {0, "A.oFF"}, {1, "A.Hi"}, {2, "A.Lo"}, {3, "A.diH"}, {4, "A.diL"}, {5, "A.bdH"}, {6, "A.bdL"},
};
inline constexpr Choice alarmMode[] = {{0, "None"}, {1, "Stdy"}, {2, "LAtH"}, {3, "StLA"}};

// What follows a step of the step program. The panel ends the program at any
// other code too, but what the controller makes of one is not known.
inline constexpr Choice stepAction[] = {
    {10, "Next"},          {8, "End"},            {0, "Loop to step 0"},
    {1, "Loop to step 1"}, {2, "Loop to step 2"}, {3, "Loop to step 3"},
    {4, "Loop to step 4"}, {5, "Loop to step 5"}, {6, "Loop to step 6"},
    {7, "Loop to step 7"},
};
// The step program panel's action rings name it; it lives in a register of
// every step, so it is not among the parameter tables below.
inline constexpr std::string_view stepActionTable = "stepAction";

inline constexpr ChoiceTable tables[] = {
    {"controlMode", reg::controlMode, controlMode},
    {"sensorType", reg::sensorType, sensorType},
    {"unit", reg::unitCF, unit},
    {"action", reg::dirRev, action},
    {"decimalPoint", reg::decimalPoint, decimalPoint},
    {"timeUnit", reg::timeUnit, timeUnit},
    {"errorOperation", reg::erop, errorOperation},
    {"keyLock", reg::keyLock, keyLock},
    {"alarmFunction", reg::a1Function, alarmFunction},
    {"alarmFunction2", reg::a2Function, alarmFunction},
    {"alarmMode", reg::a1Mode, alarmMode},
    {"alarmMode2", reg::a2Mode, alarmMode},
};

constexpr const ChoiceTable* tableFor(uint16_t reg) {
    for (const ChoiceTable& t : tables)
        if (t.reg == reg) return &t;
    return nullptr;
}

constexpr bool isKnown(std::span<const Choice> codes, int code) {
    for (const Choice& c : codes)
        if (c.code == code) return true;
    return false;
}

constexpr bool isValid(const ChoiceTable& table, int code) {
    return isKnown(table.choices, code);
}

// How every message shows a code no table has: "99 (unknown)".
inline std::string unknownText(int code) {
    return std::to_string(code) + " (unknown)";
}

} // namespace choices
