#pragma once
// The run store as the page reads it: the open runs and the latest ended
// ones, and one run's PV and plan per zone, reduced for a phone's chart.
// Read on the web server's thread through its own store connection.
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class RunStore;

inline constexpr int kRecentRuns = 20;
// Each zone's PV and plan series keep at most this many points.
inline constexpr int kMaxChartPoints = 2000;

// An answer's HTTP status and its JSON. A store that does not read (a
// damaged one, one that is no run store) is 500 with {"error": why}, never
// an empty list.
struct RunsAnswer {
    int status = 200;
    std::string body;
};

// Each line of the bridge with the port it is on, so a run's zones are
// named by their line.
using LinePorts = std::vector<std::pair<std::string, std::string>>;

class RunsJson {
  public:
    // The store at path is opened to read when first asked; none is made
    // where there is none (the view only reads).
    explicit RunsJson(std::string path);
    ~RunsJson();

    // {"open":[...],"recent":[...]}, each run with id, program, phase,
    // outcome, times (local, with the offset), segment, time_to_go in
    // seconds and its zones by line and id: the words of the run's state
    // on the broker.
    RunsAnswer runs(const LinePorts& lines = {});
    // The run's chart data, or nothing when there is no such run.
    std::optional<RunsAnswer> run(long long id, const LinePorts& lines = {});

  private:
    // The open store; null with why empty where there is none, else with why.
    RunStore* store(std::string* why);

    std::string path_;
    std::unique_ptr<RunStore> store_;
    // The file it was opened as: one set aside since (a writer found it
    // damaged) is let go for the store now at path.
    unsigned long long device_ = 0, inode_ = 0;
};
