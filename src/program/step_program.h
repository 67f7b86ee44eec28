#pragma once
// The eight-step program as the panel entries hold it. Nothing keeps a copy
// between operations: the panel is the program, this is only a snapshot.
#include <array>
#include <cstdint>

struct ScriptStep {
    double stepSv = 0.0;  // engineering units, as shown
    uint16_t time1 = 0;   // first segment, in the controller's time unit
    uint16_t time2 = 0;   // second segment
    uint16_t action = 0;  // 0-7 loop back to that step, 10 next step, anything else ends
    uint16_t loopCnt = 0; // repeats after the first pass; 9999 is endless
};

struct StepProgram {
    std::array<ScriptStep, 8> steps{};
    double band = 0.0;
};

inline constexpr uint16_t kActionNext = 10;
inline constexpr uint16_t kActionEnd = 8;
inline constexpr uint16_t kLastLoopTarget = 7;
// What a set value or band register holds, in engineering units: whole
// degrees, with the decimal point off, reach furthest.
inline constexpr double kSetValueMin = -32768.0;
inline constexpr double kSetValueMax = 32767.0;
