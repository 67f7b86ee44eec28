#pragma once
#include <cstdint>
#include <cstdio>

// The open data log, if any.
struct DataLogState {
    uint16_t logOn = 0;
    std::FILE* logFile = nullptr;
};
extern DataLogState gLog;

// Closes the log file when logging is on and turns logging off.
void closeDataLog();
void resetDataLogState();
