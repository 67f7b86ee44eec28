#pragma once
// The one in-memory copy of the controller's configuration. Field order is
// the parameter file's: 18 reals, 20 integers, then four PID fields the file
// does not hold.
#include <cstdint>

struct ParmRecord {
    float sv = 0, a1SetPoint = 0, a2SetPoint = 0, outputLevel = 0, pid11 = 0, pid14 = 0, pid15 = 0,
          swFilter = 0, pvOffset = 0, loLimit = 0, hiLimit = 0, reg25Tenths = 0, pid16 = 0,
          rampRate = 0, spareReal1 = 0, spareReal2 = 0, a1Hysteresis = 0, a2Hysteresis = 0;
    int16_t pid12 = 0, pid13 = 0, sensorType = 0, dirRev = 0, unitCF = 0, decimalPoint = 0,
            lock = 0, ptme = 0, cycleTime = 0, softStartTime = 0, erop = 0, spareInt1 = 0,
            a1Function = 0, a2Function = 0, a1Mode = 0, a2Mode = 0, spareInt2 = 0, spareInt3 = 0,
            a1DelayTime = 0, a2DelayTime = 0;
    float pid18 = 0, pid19 = 0, pid1A = 0;
    int16_t pid1B = 0;
};

// Members in file order, for the parameter file and anything that walks the record.
inline constexpr float ParmRecord::*kFileReals[18] = {
    &ParmRecord::sv,          &ParmRecord::a1SetPoint,   &ParmRecord::a2SetPoint,
    &ParmRecord::outputLevel, &ParmRecord::pid11,        &ParmRecord::pid14,
    &ParmRecord::pid15,       &ParmRecord::swFilter,     &ParmRecord::pvOffset,
    &ParmRecord::loLimit,     &ParmRecord::hiLimit,      &ParmRecord::reg25Tenths,
    &ParmRecord::pid16,       &ParmRecord::rampRate,     &ParmRecord::spareReal1,
    &ParmRecord::spareReal2,  &ParmRecord::a1Hysteresis, &ParmRecord::a2Hysteresis,
};
inline constexpr int16_t ParmRecord::*kFileInts[20] = {
    &ParmRecord::pid12,         &ParmRecord::pid13,       &ParmRecord::sensorType,
    &ParmRecord::dirRev,        &ParmRecord::unitCF,      &ParmRecord::decimalPoint,
    &ParmRecord::lock,          &ParmRecord::ptme,        &ParmRecord::cycleTime,
    &ParmRecord::softStartTime, &ParmRecord::erop,        &ParmRecord::spareInt1,
    &ParmRecord::a1Function,    &ParmRecord::a2Function,  &ParmRecord::a1Mode,
    &ParmRecord::a2Mode,        &ParmRecord::spareInt2,   &ParmRecord::spareInt3,
    &ParmRecord::a1DelayTime,   &ParmRecord::a2DelayTime,
};
