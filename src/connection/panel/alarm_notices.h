#pragma once
// The operator hears when the controller's alarm outputs turn on and when it
// stops answering: a desktop notification and a line in the data log, once
// per transition, never once per poll. Each kind can be switched off.
#include "link/line_events.h"
#include "panelkit/panel_service.h"

#include <atomic>
#include <cstdint>
#include <string>

class Controller;
class DataLog;

struct NoticeSwitches {
    bool alarms = true;
    bool silence = true;
};

// Which of the status word's bits newly set are alarm outputs: nonzero on the
// turn from off to on only.
uint16_t alarmsTurnedOn(uint16_t before, uint16_t now);

class AlarmNotices {
  public:
    // Listens to the controller's line for as long as it lives.
    AlarmNotices(Controller& c, DataLog& log);
    ~AlarmNotices();
    AlarmNotices(const AlarmNotices&) = delete;
    AlarmNotices& operator=(const AlarmNotices&) = delete;

    Controller& controller() { return controller_; }
    // Any thread.
    NoticeSwitches switches() const;
    void setSwitches(NoticeSwitches switches);
    // A status word the alarm poll read. Control thread.
    void noteStatus(uint16_t status);

  private:
    void noteLineEvent(LineEvent event);
    void logEvent(const std::string& what);
    std::string idText() const;

    Controller& controller_;
    DataLog& log_;
    std::atomic<bool> alarms_{true};
    std::atomic<bool> silence_{true};
    // The alarm outputs as last polled; the control thread alone touches it.
    uint16_t lastAlarms_ = 0;
    int observer_ = 0;
    int healthObserver_ = 0;
};

// Alarm timer tick: polls the status word and tells of outputs turning on.
int ChkAlarm(AlarmNotices& notices, int panel, CtrlId control, int event);
