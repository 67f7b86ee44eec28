#pragma once
// The last events of the alarm rules, newest first: those the rules of
// this session fired, as they come, and those the run store keeps of every
// run, with their time, rule, controller, what was done and whether it all
// worked. It keeps the last kMaxEvents; an event the session fired that a
// run also recorded is listed once.
#include "alarms/alarm_engine.h"
#include "runs/run_record.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace Ui {
class AlarmEventsList;
}

class AlarmEventsList : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kMaxEvents = 500;

    explicit AlarmEventsList(QWidget* parent = nullptr);
    ~AlarmEventsList() override;

    // An event this session's rules fired. GUI thread.
    void addEvent(const AlarmEvent& event);
    // The alarm events the store holds, as last read, newest first.
    void setStored(const std::vector<RunEvent>& events);
    // The events listed, newest first.
    const std::vector<AlarmEvent>& listed() const { return listed_; }

  private:
    struct Kept {
        AlarmEvent event;
        std::string text; // as recorded
        long long order;  // later recorded, larger
    };
    void refill();

    std::unique_ptr<Ui::AlarmEventsList> ui_;
    std::vector<Kept> session_, stored_;
    long long order_ = 0;
    std::vector<AlarmEvent> listed_;
};
