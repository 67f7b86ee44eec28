#pragma once
// The operator hears when the controller's alarm outputs turn on and when it
// stops answering: a desktop notification and a line in the data log, once
// per transition, never once per poll. Each kind can be switched off.
#include <cstdint>

class Controller;

struct NoticeSwitches {
    bool alarms = true;
    bool silence = true;
};
NoticeSwitches noticeSwitches();
void setNoticeSwitches(NoticeSwitches switches);

// Which of the status word's bits newly set are alarm outputs: nonzero on the
// turn from off to on only.
uint16_t alarmsTurnedOn(uint16_t before, uint16_t now);

// Listens to the alarm poll and the line from now on. Once for the program.
void watchAlarmsAndSilence(Controller& c);
// Forgets the last status seen (a new connection, or a test).
void forgetAlarmStatus();
