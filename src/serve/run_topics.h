#pragma once
// A firing run as the broker sees it: its state, retained on
// PREFIX/LINE/run/NAME/state, given when it changed and at least once a
// minute, and its last state left retained with the outcome once it ended.
#include "base/clock.h"
#include "runs/run_record.h"
#include "serve/broker_link.h"
#include "serve/topics.h"

#include <optional>
#include <string>
#include <vector>

class RunEngine;
class RunRecorder;

// The program's name as one plain topic segment: "Bisque 04" is "Bisque_04".
std::string runTopicName(const std::string& programName);

class RunTopics final : public RunListener {
  public:
    RunTopics(const RunEngine& engine, std::string topic, BrokerLink& link);
    // The run's record, whose failure the state tells as "unrecorded".
    void recordedBy(const RunRecorder& recorder) { recorder_ = &recorder; }
    void runUpdated(const RunUpdate& u) override;
    // The state now, when it changed since it was last published (a
    // command's change, the end).
    void publish();
    // Where the plan had zone i at its last poll, in the zone's unit.
    std::optional<double> planSv(std::size_t i) const {
        return i < planSv_.size() ? planSv_[i] : std::nullopt;
    }

  private:
    std::string values() const;
    void send();

    const RunEngine& engine_;
    const RunRecorder* recorder_ = nullptr;
    const std::string topic_;
    BrokerLink& link_;
    // Each zone's PV and SV as its last poll read them, in its unit.
    std::vector<std::optional<double>> pv_, sv_, planSv_;
    std::string shown_; // the values last published, without their time
    std::optional<Clock::TimePoint> shownAt_;
};
