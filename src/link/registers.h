#pragma once
// Every register of the controller the program addresses, by name. This is
// the one place an address is written down; templates, the register map, the
// setters and the transfers all name them from here.
#include <cstdint>

namespace reg {

// Configuration, 0x0000-0x0029 (encodings in params/register_map.cpp).
inline constexpr uint16_t setValue = 0x0000;
inline constexpr uint16_t pvOffset = 0x0001;
inline constexpr uint16_t outputLevel = 0x0002; // percent times 10, taken in Manual
// The control mode. The auto-tune poll reads it together with the register
// after it, which the controller also uses for the auto-tune status.
inline constexpr uint16_t controlMode = 0x0003;
inline constexpr uint16_t a1SetPoint = 0x0004;
inline constexpr uint16_t a1Hysteresis = 0x0005;
inline constexpr uint16_t a1Function = 0x0006;
inline constexpr uint16_t a1Mode = 0x0007;
inline constexpr uint16_t a1DelayTime = 0x0008;
inline constexpr uint16_t a2SetPoint = 0x0009;
inline constexpr uint16_t a2Hysteresis = 0x000A;
inline constexpr uint16_t a2Function = 0x000B;
inline constexpr uint16_t a2Mode = 0x000C;
inline constexpr uint16_t a2DelayTime = 0x000D;
inline constexpr uint16_t rampRate = 0x000E;
inline constexpr uint16_t softStartTime = 0x000F;
// The PID block, eleven registers read in one request.
inline constexpr uint16_t pBand = 0x0011;
inline constexpr uint16_t iTime = 0x0012;
inline constexpr uint16_t dTime = 0x0013;
inline constexpr uint16_t pid14 = 0x0014;
inline constexpr uint16_t pid15 = 0x0015;
inline constexpr uint16_t pid16 = 0x0016;
inline constexpr uint16_t cycleTime = 0x0017;
inline constexpr uint16_t pid18 = 0x0018;
inline constexpr uint16_t pid19 = 0x0019;
inline constexpr uint16_t pid1A = 0x001A;
inline constexpr uint16_t pid1B = 0x001B;
inline constexpr uint16_t pidFirst = pBand;
inline constexpr int pidCount = 11;
inline constexpr uint16_t sensorType = 0x001C;
inline constexpr uint16_t unitCF = 0x0020;
inline constexpr uint16_t decimalPoint = 0x0021;
inline constexpr uint16_t dirRev = 0x0022;
inline constexpr uint16_t loLimit = 0x0023;
inline constexpr uint16_t hiLimit = 0x0024;
inline constexpr uint16_t reg25Tenths = 0x0025;
inline constexpr uint16_t timeUnit = 0x0026;
inline constexpr uint16_t erop = 0x0027;
inline constexpr uint16_t keyLock = 0x0028;
inline constexpr uint16_t swFilter = 0x0029;

// The step program: the tolerance band, then five registers per step (time 1,
// set value, time 2, action, loop count) for eight steps, to 0x005A.
inline constexpr uint16_t band = 0x0032;
inline constexpr uint16_t firstStep = 0x0033;
inline constexpr int perStep = 5;
inline constexpr int steps = 8;

// Live values and identification, read only.
inline constexpr uint16_t pv = 0x1000;
inline constexpr uint16_t svRead = 0x1001;
inline constexpr uint16_t status = 0x1003;         // program state high, position low
// The status word's bits this program takes for the alarm outputs: the low
// bits of its high byte, beside the program state's 4.
inline constexpr uint16_t alarm1Output = 0x0100;
inline constexpr uint16_t alarm2Output = 0x0200;
inline constexpr uint16_t alarmOutputs = alarm1Output | alarm2Output;
inline constexpr uint16_t identification = 0x1F00; // model code high byte

} // namespace reg
