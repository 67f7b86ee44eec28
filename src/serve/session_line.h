#pragma once
// The bridge's line over the controller session: the port the config names,
// a controller object for each of its ids, asked in turn, every request
// made by the same transfers and checked writes as the headless commands.
#include "link/controller.h"
#include "link/line.h"
#include "link/line_controllers.h"
#include "link/results.h"
#include "link/retry_policy.h"
#include "serve/bridge_line.h"
#include "serve/serve_config.h"
#include "traffic/line_statistics.h"

#include <functional>
#include <map>

class TrafficTap;

class SessionLine : public BridgeLine {
  public:
    using Log = std::function<void(const std::string&)>;
    // stopping: true once the bridge is to end; nothing more is sent then,
    // not even the rest of a transfer (checked between any two registers).
    // com: the COM number the line goes by, each line its own.
    // tap: the bridge's --trace, when it has one.
    SessionLine(int com, const LineConfig& config, Log log, std::function<bool()> stopping,
                TrafficTap* tap = nullptr);
    ~SessionLine() override; // closes the port
    SessionLine(const SessionLine&) = delete;
    SessionLine& operator=(const SessionLine&) = delete;

    // Opens the port as the bridge starts. 0, or the system's error with
    // why: EBUSY when another program holds the port.
    int openFirst(std::string* why);

    Reading poll(int id) override;
    std::optional<std::vector<Parameter>> readParameters(int id, std::string* why) override;
    SettingResult set(int id, Setting what, double value) override;
    Controller* controller(int id, std::string* why) override;
    Outcome readWords(int id, uint8_t function, uint16_t reg, uint16_t count) override;
    SettingResult setWord(int id, Setting what, uint16_t word) override;
    // Counts every exchange from now on, for the web view's metrics; read
    // from any thread.
    void countFrames();
    LineCounts counts() const { return statistics_.counts(); }

  private:
    // svWord: the set value as its register's word, read in the decimal
    // point the controller holds as it is written.
    SettingResult write(int id, Setting what, double value, std::optional<int16_t> svWord);
    bool ready();
    // The controller at id, probed first when it has not answered the probe
    // since it came (back); nothing, with what came back, when it is not
    // there to ask.
    Controller* select(int id, std::string* why);
    // After a request to the controller: false when nothing came back, so
    // the rest of a poll is not sent. One that fell silent is asked who it
    // is before it is polled again.
    bool noted(Controller& c, const Outcome& o);
    // The port's device went away: every controller is asked who it is once
    // the port is open again. False.
    bool lineGone();

    const int com_;
    Line line_;
    LineControllers controllers_{line_};
    TrafficTap* tap_;
    LineConfig config_;
    Log log_;
    std::function<bool()> stopping_;
    // Ids where something else answers, told once.
    std::map<int, bool> foreign_;
    bool open_ = false;
    std::string closedWhy_; // why the port is not open, as last told
    int closedError_ = 0;   // the system's error for it
    LineStatistics statistics_;
    int countHandle_ = 0;
};
