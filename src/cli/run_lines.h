#pragma once
// The zones of a run on their lines (zone_list.h reads `--zones`). Each line is opened and locked
// once, as every command opens it, and each zone is the line's controller object for its id.
#include "cli/controller_line.h"
#include "cli/headless.h"
#include "runs/open_runs.h"
#include "runs/run_engine.h"
#include "runs/zone_list.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class RunLines {
  public:
    // options: the command's, naming its own line; timeScale: that of the
    // simulated controllers --simulate starts.
    RunLines(const HeadlessOptions& options, double timeScale);
    ~RunLines();
    RunLines(const RunLines&) = delete;
    RunLines& operator=(const RunLines&) = delete;

    int commandPort() const { return commandPort_; }
    // The id a zone of the command's line without one is: --id's first,
    // DftCom.prm's, or 1.
    int defaultId() const { return defaultId_; }
    // The device behind a COM number now, as a run records it (run_device.h).
    std::string device(int port) const;
    // A stored run's zones on the COM numbers that reach their devices here:
    // each zone's own number, or the command's when the zone was recorded
    // by its device. Empty, else why the run is not this line's to act on.
    std::string storedZones(const StoredRun& run, std::vector<NamedZone>* zones) const;
    // Opens each zone's line and probes each zone: exitstatus::ok, or the
    // status to end with once the reason has been told. Each line opens
    // once, with its zones' ids (a simulator started for it answers them).
    int open(const std::vector<NamedZone>& zones);
    // The zones open() found, each on its line's controller for its id, in order.
    std::vector<EngineZone> engineZones();
    // Zone i's controller, as open() found it.
    Controller& controller(std::size_t i) { return *controllers_.at(i); }
    // "COM1 (/dev/ttyUSB0)", and the other lines after it.
    std::string text() const;

  private:
    ControllerLine& line(int port, const std::vector<int>& ids);

    HeadlessOptions options_;
    double timeScale_;
    int commandPort_;
    int defaultId_;
    std::vector<NamedZone> zones_;
    std::map<int, std::unique_ptr<ControllerLine>> lines_;
    std::vector<Controller*> controllers_; // the lines' own, one per zone
};
