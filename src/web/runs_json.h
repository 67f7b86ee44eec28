#pragma once
// The run store as the page reads it: the open runs and the latest ended
// ones, and one run's PV and plan per zone, reduced for a phone's chart.
// Read on the web server's thread through its own store connection.
#include <memory>
#include <optional>
#include <string>

class RunStore;

inline constexpr int kRecentRuns = 20;
// Each zone's PV and plan series keep at most this many points.
inline constexpr int kMaxChartPoints = 2000;

class RunsJson {
  public:
    // The store at path is opened when first asked; none is made where
    // there is none (the view only reads).
    explicit RunsJson(std::string path);
    ~RunsJson();

    // {"open":[...],"recent":[...]}, each run with id, program, phase,
    // outcome, times, segment and seconds to go.
    std::string runs();
    // The run's chart data, or nothing when there is no such run.
    std::optional<std::string> run(long long id);

  private:
    RunStore* store();

    std::string path_;
    std::unique_ptr<RunStore> store_;
};
