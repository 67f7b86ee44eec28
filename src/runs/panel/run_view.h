#pragma once
// What the Programs panel shows of a run, as one poll left it: made on the
// control thread, where the run is driven, and handed to the panel by a
// queued signal, so the panel never reads the engine itself.
#include "runs/plan.h"
#include "runs/run_record.h"

#include <QMetaType>
#include <QString>

#include <optional>
#include <vector>

struct ZoneView {
    QString name;                 // "COM3 id 1"
    std::optional<double> pv, sv; // as the controller gave them, in its unit
    QString unit;                 // "°C"
    int digits = 0;
};

struct RunView {
    long long runId = 0;
    RunPhase phase = RunPhase::waiting;
    std::optional<RunOutcome> outcome; // once ended
    QString programText;               // as it runs, to draw its plan
    PlanStart planStart;
    double planClock = 0; // seconds along the plan
    double toGo = 0;      // seconds on the wall until the plan ends
    double plannedSv = 0; // in the program's unit
    QString segment;      // "segment 2 of 5: 150 °C/h to 600 °C, hold 0:00"
    bool holdingBack = false;
    QString holdBack;    // the last hold-back event: whom it waits for, or how long it waited
    QString pauseReason; // while paused
    QString lastEvent;
    std::vector<ZoneView> zones;
    // The first zone's PV in the program's unit, without its offset: what
    // is drawn over the plan.
    std::optional<double> kilnPv;
};

Q_DECLARE_METATYPE(RunView)
