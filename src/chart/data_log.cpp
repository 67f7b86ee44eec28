#include "chart/data_log.h"

DataLogState gLog;

void closeDataLog() {
    if (!gLog.logOn) return;
    if (gLog.logFile) std::fclose(gLog.logFile);
    gLog.logFile = nullptr;
    gLog.logOn = 0;
}

void resetDataLogState() {
    closeDataLog();
    gLog = DataLogState{};
}
