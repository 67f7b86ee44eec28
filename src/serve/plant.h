#pragma once
// Every line of the config at once: each line is polled by its own Bridge,
// on its own thread, over its own port, and all of them share the one
// broker connection. The plant's thread takes what the client posted: a
// message goes to the line its topic names, what happened to the
// connection goes to every line. A line that fails (its port missing or
// held, its controllers silent) fails alone.
//
// A reload reads the config again and brings the running lines in line with
// it: lines that were added start, those removed stop and have their
// retained topics cleared, a line whose port, baud, interval or writes
// changed is restarted, and one whose ids alone changed takes them up
// without a pause in its polls. Everything it needs (the config, its
// credentials, the alarm rules) is read and checked first: when one does
// not read, nothing changes.
#include "alarms/alarm_rules.h"
#include "serve/broker_link.h"
#include "serve/inbox.h"
#include "serve/serve_config.h"
#include "web/web_control.h"

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class ModbusDesk;
class InfluxOutput;
class PlantView;
class TrafficTap;

class Plant {
  public:
    using Log = std::function<void(const std::string&)>;
    // inbox: where the broker client posts, and the stop. tap: when it
    // traces, the trace follows every line, each frame marked with its line.
    // view: the web view's, when it serves.
    // rules: the alarm rules, as read and checked against config.
    Plant(std::string path, ServeConfig config, AlarmRules rules, Inbox& inbox, TrafficTap* tap,
          Log log, PlantView* view = nullptr);
    ~Plant();
    Plant(const Plant&) = delete;
    Plant& operator=(const Plant&) = delete;

    // Opens every line's port, before the broker hears of the bridge. False,
    // with why, when another program holds every one of them; a line whose
    // port alone is held stays offline and is tried again at every poll.
    bool open(std::string* why);
    // Until the inbox is stopped: the lines poll, the plant hands them
    // what the broker says and reloads when asked. Then every line ends,
    // saying its controllers are offline.
    void run(BrokerLink& link);
    // Before run(): the Modbus TCP server's requests go to the line
    // [modbus] names, and to it again once a reload restarted it.
    void serveModbus(ModbusDesk& desk) { modbusDesk_ = &desk; }
    // Any thread: the config is read again at the plant's next turn.
    void askReload();
    // Before run(): every line's good polls go to the output too.
    void writeInto(InfluxOutput* influx) { influx_ = influx; }
    // Any thread: a change from the web view, handed to its line as the
    // broker's command on the same topic would be, and answered there.
    void webCommand(WebCommand command, WebReply reply);

  private:
    struct Line;
    // A line made and its port tried; nothing runs yet.
    Line& add(const LineConfig& config);
    void start(Line& line);
    // Ends the line's thread; its Bridge stays, to clear its topics.
    void stop(Line& line);
    void route(const BrokerEvent& e);
    // The line a topic under the prefix names; nothing for another.
    Line* lineOf(const std::string& topic);
    void reload();
    int freeCom() const;

    const std::string path_;
    const std::string prefix_; // the broker's, which a reload does not change
    ServeConfig running_; // as read, the broker's section as the bridge started with it
    AlarmRules rules_;    // as last read; a line takes them as it starts
    Inbox& inbox_;
    TrafficTap* tap_; // holds the trace file every line writes into
    Log log_;
    PlantView* view_;
    ModbusDesk* modbusDesk_ = nullptr;
    InfluxOutput* influx_ = nullptr;
    BrokerLink* link_ = nullptr;
    // What the lines ask of the broker connection, one at a time; the
    // plant's thread hands it what the client posted under the same lock.
    std::mutex linkMutex_;
    std::map<std::string, std::unique_ptr<Line>> lines_;
    std::atomic<bool> reloadAsked_{false};
};
