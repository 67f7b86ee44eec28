#pragma once
// The alarm rules over one line of the bridge, through the host every
// process shares: each poll is an observation (with the plan's set value
// where a run drives the controller), publish sends the event as JSON on
// PREFIX/LINE/ID/event (not retained), hold pauses the run, off and sv N
// take the controller's checked writes where the line's writes allow them,
// log writes to the bridge's log, and each event is logged and kept in its
// run's record. An action that was not carried out is published there too,
// as failed.
#include "alarms/alarm_engine.h"
#include "alarms/alarm_host.h"
#include "serve/bridge_line.h"
#include "serve/broker_link.h"
#include "serve/topics.h"

#include <functional>
#include <memory>
#include <set>
#include <string>

class LineRuns;

class LineAlarms {
  public:
    using Log = std::function<void(const std::string&)>;
    LineAlarms(AlarmRules rules, std::set<Setting> writes, TopicBase base, BridgeLine& line,
               LineRuns& runs, BrokerLink& link, Log log);
    // One poll of the controller at id, as the bridge read it; silent: it
    // is offline, as the bridge tells it.
    void observe(int id, const Reading& r, bool silent);
    // Between polls: commands of earlier events that ended.
    void reap();
    // Controllers a reload took off the line: their rules start afresh.
    void forgetIds(const std::vector<int>& ids);
    // A reload's rules and writes, taken in place: a rule that stays as it
    // was goes on where it stood.
    void takeRules(AlarmRules rules) { engine_->takeRules(std::move(rules)); }
    void allowWrites(std::set<Setting> writes) { writes_ = std::move(writes); }
    // The ntfy token, webhook secret and mail server of the bridge's
    // credentials file.
    void useSecrets(NotifySecrets secrets) { engine_->notifier().setSecrets(std::move(secrets)); }

  private:
    std::set<Setting> writes_;
    TopicBase base_;
    BridgeLine& line_;
    LineRuns& runs_;
    BrokerLink& link_;
    Log log_;
    HostAlarmActions actions_;
    std::unique_ptr<AlarmEngine> engine_;
};

// The event as the broker is given it; a failed action's with "ok":false
// and what failed.
std::string alarmEventJson(const AlarmEvent& e);
