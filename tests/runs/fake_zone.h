#pragma once
// A controller as the run engine sees it, with a kiln whose PV the test
// sets or lets follow the set value, on a virtual clock. Every write is
// logged as "sv 120.0", "rate 10.0" or "mode on", with its virtual second.
#include "base/clock.h"
#include "base/number_text.h"
#include "runs/run_engine.h"
#include "runs/zone.h"

#include <memory>
#include <string>
#include <vector>

class VirtualClock final : public Clock {
  public:
    VirtualClock() { setLineClock(this); }
    ~VirtualClock() override { setLineClock(nullptr); }
    TimePoint now() override { return now_; }
    void sleepUntil(TimePoint t) override { now_ = std::max(now_, t); }
    void advance(double seconds) {
        now_ +=
            std::chrono::duration_cast<TimePoint::duration>(std::chrono::duration<double>(seconds));
    }

  private:
    TimePoint now_{};
};

struct FakeKiln {
    ZoneFacts facts;
    double pv = 20, svSetting = 20, rampRate = 0;
    ZoneMode mode = ZoneMode::off;
    bool followSv = true; // PV goes where the SV register is, at once
    bool silent = false;
    bool refuseSv = false; // the controller answers exception 03
    std::vector<std::string> writes;
    std::vector<double> writeTimes;

    std::string value(double v) const { return formatFixed(v, facts.digits); }
    void log(const std::string& what) {
        writes.push_back(what);
        writeTimes.push_back(
            std::chrono::duration<double>(lineClock().now().time_since_epoch()).count());
    }
};

class FakeZone final : public Zone {
  public:
    explicit FakeZone(std::shared_ptr<FakeKiln> kiln) : k_(std::move(kiln)) {}
    std::variant<ZoneFacts, std::string> facts() override {
        if (k_->silent) return std::string("it did not answer");
        return k_->facts;
    }
    ZoneReading read() override {
        ZoneReading r;
        if (k_->silent) return r;
        if (k_->followSv) k_->pv = k_->svSetting;
        r.pv = k_->pv;
        r.sv = k_->svSetting;
        r.svSetting = k_->svSetting;
        r.mode = k_->mode;
        return r;
    }
    ZoneWrite writeSv(double v) override {
        k_->log("sv " + k_->value(v));
        ZoneWrite w;
        if (k_->silent) {
            w.result = ZoneWrite::Result::unconfirmed;
            return w;
        }
        if (k_->refuseSv) {
            w.result = ZoneWrite::Result::refused;
            w.why = "exception 03";
            w.held = k_->svSetting;
            return w;
        }
        k_->svSetting = v;
        w.result = ZoneWrite::Result::confirmed;
        w.held = v;
        return w;
    }
    ZoneWrite writeMode(ZoneMode m) override {
        k_->log(m == ZoneMode::on ? "mode on" : "mode off");
        k_->mode = m;
        ZoneWrite w;
        w.result = ZoneWrite::Result::confirmed;
        return w;
    }
    std::optional<double> readRampRate() override { return k_->rampRate; }
    ZoneWrite writeRampRate(double r) override {
        k_->log("rate " + k_->value(r));
        k_->rampRate = r;
        ZoneWrite w;
        w.result = ZoneWrite::Result::confirmed;
        w.held = r;
        return w;
    }

  private:
    std::shared_ptr<FakeKiln> k_;
};

// Keeps everything the engine tells.
struct Told final : RunListener {
    std::vector<RunEvent> events;
    std::vector<RunSample> samples;
    int opened = 0;
    void runOpened(const RunState&) override { ++opened; }
    void runUpdated(const RunUpdate& u) override {
        events.insert(events.end(), u.events.begin(), u.events.end());
        samples.insert(samples.end(), u.samples.begin(), u.samples.end());
    }
    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const RunEvent& e : events)
            out.push_back(eventKindName(e.kind));
        return out;
    }
    std::vector<std::string> texts(EventKind kind) const {
        std::vector<std::string> out;
        for (const RunEvent& e : events)
            if (e.kind == kind) out.push_back(e.text);
        return out;
    }
};
