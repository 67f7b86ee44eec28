#pragma once
// The bridge's line over the controller session: the port the config names,
// its controllers addressed in turn by id, every request made by the same
// transfers and checked writes as the headless commands.
#include "link/controller.h"
#include "link/line.h"
#include "link/results.h"
#include "link/retry_policy.h"
#include "serve/bridge_line.h"
#include "serve/serve_config.h"

#include <functional>
#include <map>

class SessionLine : public BridgeLine {
  public:
    using Log = std::function<void(const std::string&)>;
    // stopping: true once the bridge is to end; nothing more is sent then,
    // not even the rest of a transfer (checked between any two registers).
    SessionLine(const LineConfig& config, Log log, std::function<bool()> stopping);
    ~SessionLine() override; // closes the port
    SessionLine(const SessionLine&) = delete;
    SessionLine& operator=(const SessionLine&) = delete;

    // Opens the port as the bridge starts. 0, or the system's error with
    // why: EBUSY when another program holds the port.
    int openFirst(std::string* why);

    Reading poll(int id) override;
    std::optional<std::vector<Parameter>> readParameters(int id, std::string* why) override;
    SettingResult set(int id, Setting what, double value) override;

  private:
    struct Polled {
        retry::SilenceCount silence;
        bool probed = false;  // answered the probe as a controller of ours since it was last silent
        bool foreign = false; // something else answers at its id
    };
    bool ready();
    // Addresses id, probing it first when it has not answered the probe
    // since it came (back); false, with what came back, when it is not
    // there to ask.
    bool select(int id, std::string* why);
    // Counts requests against the controller's silence by the rule every
    // transfer goes by (retry_policy.h); false when nothing came back, so
    // the rest of a poll is not sent.
    bool note(Polled& p, bool silent, int requests = 1);
    // A read that got nothing was asked kReadAttempts times; a write once.
    bool noteRead(Polled& p, const Outcome& o);
    bool noteWrite(Polled& p, const Outcome& o);
    // The port's device went away: every controller is silent until the
    // port is opened again. False.
    bool lineGone();

    Line line_;
    Controller controller_{line_}; // addressed to the id being asked
    LineConfig config_;
    Log log_;
    std::function<bool()> stopping_;
    std::map<int, Polled> polled_;
    bool open_ = false;
    std::string closedWhy_; // why the port is not open, as last told
    int closedError_ = 0;   // the system's error for it
};
