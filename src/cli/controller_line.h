#pragma once
// The line a headless command talks over: the COM number, id and baud rate
// the command line names, or else those of DftCom.prm in the working
// directory, or else COM1, id 1 and 19200 baud. The file is only read: a
// command never rewrites it, so the panels keep their own last connection.
#include "cli/headless.h"
#include "link/controller.h"
#include "link/line.h"
#include "link/line_controllers.h"
#include "link/results.h"
#include "traffic/traffic_tap.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {
class SimController;
}

class ControllerLine {
  public:
    explicit ControllerLine(const HeadlessOptions& options);
    ~ControllerLine();
    ControllerLine(const ControllerLine&) = delete;
    ControllerLine& operator=(const ControllerLine&) = delete;

    // Opens the port and probes the controller, as a connection from the
    // panels does. exitstatus::ok, or the status to end with, once the
    // reason has been told. The port is opened once and kept for the next id.
    int connect();
    // Opens the port (once) without asking anybody: for the scan, and
    // before the files a command makes as it starts. The trace that --trace
    // names starts here, before the first frame.
    int open();
    // Opens the port again after its device went away (unplugged): ok when
    // it is open (again), or the status to end with once the reason is told.
    int reopen();

    // The controllers the command runs on: --id's list, or else the one of
    // DftCom.prm, or else id 1. The first is the current one.
    const std::vector<int>& ids() const { return ids_; }
    // Makes id the current controller, for connect() and every request after.
    void useId(int id);
    long baud() const { return baud_; }
    // The COM number the line is on.
    int port() const { return port_; }
    // The id the requests go to now.
    int id() const { return id_; }
    // With --simulate: the simulated controllers' clock runs this many
    // times faster, as a run's plan clock does. Before open().
    void simulateAt(double timeScale) { simTimeScale_ = timeScale; }
    // The model the probe found: '@' or 'D'.
    char model() const { return model_; }

    // Reads the decimal point, which every scaled value depends on: no value
    // is ever scaled by a guessed one. exitstatus::ok, or the status to end with.
    int readScale();

    // "COM3 (/dev/ttyUSB0), id 1" for messages.
    std::string where() const;
    // "COM3 (/dev/ttyUSB0)"
    std::string portText() const;
    // The port is a gateway's (tcp://, rtu+tcp://): the serial side and its
    // baud rate are the gateway's own settings.
    bool throughGateway() const;
    // The message and status for a transfer that stopped because the
    // controller no longer answers.
    int stoppedAnswering(const std::string& what) const;

    // The controller the requests go to: the current id's, on this line.
    // Each id has its own, with its own health and scale.
    Controller& controller() { return *current_; }
    const Controller& controller() const { return *current_; }
    // The tap --trace writes through.
    TrafficTap& tap() { return tap_; }

  private:
    int openPort(const char* again);
    TrafficTap ownTap_; // the tap when the options name none
    TrafficTap& tap_;
    Line line_;
    LineControllers controllers_{line_};
    Controller* current_;
    int port_ = 1;
    int id_ = 1;
    std::vector<int> ids_;
    std::string badSavedId_; // DftCom.prm's id as written, when it is no id
    bool opened_ = false;
    long baud_ = 19200;
    int parity_ = 0, stopBits_ = 2; // as kept in DftCom.prm
    char model_ = 0;
    std::string openFailure_;
    std::string traceFile_; // --trace: started as the port opens
    std::unique_ptr<sim::SimController> simulator_;
    std::optional<char> simulate_;
    double simTimeScale_ = 1;
};
