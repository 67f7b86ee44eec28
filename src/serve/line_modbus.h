#pragma once
// The Modbus TCP server's part on the line's own thread. Each request of
// another master is one to the controller with its unit id, taken between
// two of the bridge's requests and judged as they are:
//   - a read (03, 04) of registers the latest good poll read, no older than
//     max_age, is answered from it, costing the line nothing;
//   - other reads go through the line as one request, with the function asked;
//   - a write (06) of the set value, output level or mode goes through the
//     checked writes where [modbus] writes and the line's writes both allow
//     it, and is told in the bridge's log whatever became of it;
//   - a unit id that is not on the line gets 0B, as a silent one does.
#include "base/clock.h"
#include "serve/bridge_line.h"
#include "serve/modbus_desk.h"
#include "serve/serve_config.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class LineModbus {
  public:
    using Log = std::function<void(const std::string&)>;
    // A setting made the bridge's way: a run it drives is told, and the
    // controller polled again.
    using Write = std::function<SettingResult(int id, Setting what, uint16_t word)>;
    // line: the line's settings, changed in place by a reload.
    LineModbus(const ModbusConfig& config, const LineConfig& line, BridgeLine& bridgeLine,
               ModbusDesk& desk, Write write, Log log);

    // As the line's thread starts and ends: wake is how a request wakes it.
    void attach(std::function<void()> wake);
    // Every request held is answered: the way to the line is gone.
    void finish();
    // A good poll's registers.
    void polled(int id, const Reading& r);
    // Takes the requests that came, answers at once those that need no
    // line; true while one waits for the line.
    bool due();
    // The oldest request waiting for the line.
    void serveOne();

  private:
    struct Held {
        uint16_t word;
        Clock::TimePoint at;
    };
    // The answer that needs no line, when there is one.
    std::optional<std::vector<uint8_t>> withoutLine(const ModbusAsk& a);
    std::vector<uint8_t> read(const ModbusAsk& a);
    std::vector<uint8_t> write(const ModbusAsk& a);
    std::string who(const ModbusAsk& a) const;

    ModbusConfig config_;
    const LineConfig& line_;
    BridgeLine& bridgeLine_;
    ModbusDesk& desk_;
    Write write_;
    Log log_;
    std::map<int, std::map<uint16_t, Held>> polled_;
    std::deque<ModbusAsk> waiting_;
};
