#include "runs/run_engine.h"

#include "base/clock.h"
#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/program_limits.h"
#include "runs/run_order.h"
#include "runs/zone_driver.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// "540.2 °C": a temperature in messages, to a tenth.
std::string degrees(double value, TemperatureUnit unit) {
    return numberText(roundedTo(value, 1)) + unitSign(unit);
}

} // namespace

RunEngine::RunEngine(FiringProgram program, std::string programText, std::vector<EngineZone> zones,
                     RunOptions options)
    : program_(std::move(program)), options_(options),
      plan_(program_, programStart(program_, roomTemperature(program_.unit))) {
    steadyBase_ = lineClock().now();
    wallBase_ = options_.wallNow.value_or(wallSeconds());
    state_.programName = program_.name;
    state_.programText = std::move(programText);
    state_.opened = wallBase_;
    state_.startAt = options_.startAt;
    state_.timeScale = options_.timeScale;
    state_.planStart = plan_.start();
    for (EngineZone& z : zones) {
        state_.zones.push_back(ZoneState{z.port, z.id, z.offset, {}, {}, {}, {}});
        zones_.emplace_back(std::move(z.zone));
    }
    over_.assign(zones_.size(), 0);
}

RunEngine::RunEngine(FiringProgram program, const RunState& stored, std::vector<EngineZone> zones,
                     RunOptions options)
    : RunEngine(std::move(program), stored.programText, std::move(zones), options) {
    resuming_ = stored.started.has_value();
    stored_ = stored;
    // The same firing goes on in the same record: begun when it began, its
    // writes counted on from those made before.
    state_.started = stored.started;
    state_.writes = stored.writes;
    state_.startAt = stored.startAt;
    state_.timeScale = stored.timeScale;
    options_.timeScale = stored.timeScale;
    state_.planStart = stored.planStart;
    state_.planClock = stored.planClock;
    state_.segment = stored.segment;
    plan_ = Plan(program_, stored.planStart);
    for (std::size_t i = 0; i < zones_.size() && i < stored.zones.size(); ++i) {
        state_.zones[i].lastWritten = stored.zones[i].lastWritten;
        state_.zones[i].rampBefore = stored.zones[i].rampBefore;
        state_.zones[i].device = stored.zones[i].device;
        state_.zones[i].unit = stored.zones[i].unit;
    }
}

RunEngine::~RunEngine() = default;

double RunEngine::wallNow() const {
    return wallBase_ + std::chrono::duration<double>(lineClock().now() - steadyBase_).count();
}

std::string RunEngine::zoneName(std::size_t i) const {
    return state_.zones[i].port + " id " + formatWhole(state_.zones[i].id);
}

double RunEngine::plannedSv() const {
    return plan_.svAt(state_.planClock);
}

double runSecondsToGo(const Plan& plan, const RunState& state) {
    const double left = std::max(0.0, plan.totalSeconds() - state.planClock);
    return left / std::max(state.timeScale, 1e-9);
}

double RunEngine::secondsToGo() const {
    return runSecondsToGo(plan_, state_);
}

std::string RunEngine::open() {
    if (opened_) return "";
    if (zones_.empty()) return "a run needs a zone";
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        ZoneDriver& z = zones_[i];
        const std::string name = zoneName(i);
        auto facts = z.zone().facts();
        if (auto* why = std::get_if<std::string>(&facts)) return name + ": " + *why;
        z.facts = std::get<ZoneFacts>(facts);
        state_.zones[i].unit = z.facts.unit;
        if (auto why = limitsProblem(program_, state_.zones[i].offset, z.facts, name); !why.empty())
            return why;
        z.reading = z.zone().read();
        if (!z.reading.answered()) return name + " does not answer";
        if (!z.reading.mode || *z.reading.mode == ZoneMode::other)
            return name + " is neither Off nor On (Manual, auto-tuning or running its own "
                          "program): switch it Off or On first";
        if (!z.facts.hasRamp) continue;
        z.heldRate = z.zone().readRampRate();
        if (!z.heldRate) return name + " did not give its ramp rate";
        // A resumed run writes back what was there before the first run,
        // not what that run left.
        if (!state_.zones[i].rampBefore) state_.zones[i].rampBefore = z.heldRate;
    }
    planWrites();
    opened_ = true;
    for (RunListener* l : listeners_)
        l->runOpened(state_);
    lastTick_ = wallNow();
    return "";
}

void RunEngine::planWrites() {
    double digit = 1;
    bool ramps = true;
    for (const ZoneDriver& z : zones_) {
        digit = std::min(digit, digitIn(z.facts, program_.unit));
        ramps = ramps && z.facts.hasRamp;
    }
    const ZoneDriver& first = zones_.front();
    const double pv =
        convertTemperature(first.reading.pv.value_or(0), first.facts.unit, program_.unit);
    writes_ = firingWrites(program_, pv, digit, ramps);
}

void RunEngine::tick() {
    if (!opened_ || ended()) return;
    RunUpdate u{state_, {}, {}, false};
    const double now = wallNow();
    if (state_.phase == RunPhase::waiting) {
        if (state_.startAt && now < *state_.startAt) return;
        lastTick_ = now;
        begin(u);
        flush(u);
        return;
    }
    const double dt = std::max(0.0, now - lastTick_) * options_.timeScale;
    lastTick_ = now;
    runSeconds_ += dt;
    readZones(u);
    if (overTemperature(u)) {
        sample(u);
        flush(u);
        return;
    }
    if (state_.phase == RunPhase::running && !operatorChanged(u)) {
        advance(dt, u);
        if (!ended()) {
            follow();
            if (auto why = sync(u, false); !why.empty()) end(RunOutcome::failed, why, u);
        }
    }
    sample(u);
    flush(u);
}

void RunEngine::begin(RunUpdate& u) {
    readZones(u);
    for (const ZoneDriver& z : zones_)
        if (!z.reading.answered()) return; // silence told; tried again at the next poll
    const double pv = kilnPv(resuming_ ? state_.segment : 0);
    const PlanStart start = resuming_
                                ? resumePoint(program_, state_.planStart, state_.planClock, pv)
                                : programStart(program_, pv);
    plan_ = Plan(program_, start);
    state_.planStart = start;
    state_.planClock = 0;
    state_.segment = plan_.at(0).segment;
    state_.phase = RunPhase::running;
    if (!resuming_) state_.started = wallNow();
    u.stateChanged = true;
    const std::string cycle = cycleText(program_, plan_.at(0).step);
    const std::string where = "segment " + formatWhole(state_.segment + 1) + " of " +
                              formatWhole(long(program_.segments.size())) +
                              (cycle.empty() ? "" : ", " + cycle + ",") + " at " +
                              degrees(start.fromSv, program_.unit) + ", " +
                              hoursMinutes(plan_.totalSeconds()) + " to go";
    std::string told = (resuming_ ? "resumed in " : "started in ") + where;
    // Where the kiln stood as the run was taken up again: what the plan
    // matched, zone by zone where there are several.
    const char* then = "; PV ";
    for (std::size_t i = 0; resuming_ && i < zones_.size(); ++i)
        if (const ZoneDriver& z = zones_[i]; z.reading.pv) {
            told += then + (zones_.size() > 1 ? zoneName(i) + " " : "") +
                    degrees(convertTemperature(*z.reading.pv, z.facts.unit, program_.unit),
                            program_.unit);
            then = ", ";
        }
    event(u, resuming_ ? EventKind::resume : EventKind::start, told);
    for (ZoneDriver& z : zones_)
        z.takeOver();
    driveFromHere(u);
}

void RunEngine::driveFromHere(RunUpdate& u) {
    // A controller that ramps by itself starts its ramp where its set value
    // stands: it is put at the plan's SV first, its ramp off.
    const double planned = plannedSv();
    for (std::size_t i = 0; i < zones_.size(); ++i)
        zones_[i].prime(zoneSetValue(program_, planned, state_.zones[i].offset, zones_[i].facts));
    if (auto why = sync(u, false); !why.empty()) return end(RunOutcome::failed, why, u);
    enterSegment();
    for (ZoneDriver& z : zones_)
        z.switchOn();
    if (auto why = sync(u, false); !why.empty()) end(RunOutcome::failed, why, u);
}

void RunEngine::readZones(RunUpdate& u) {
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        ZoneDriver& z = zones_[i];
        z.reading = z.zone().read();
        if (z.reading.answered() == !z.silent) continue;
        z.silent = !z.reading.answered();
        event(u, z.silent ? EventKind::silence : EventKind::answering,
              zoneName(i) + (z.silent ? " does not answer" : " answers again"), int(i));
    }
}

bool RunEngine::operatorChanged(RunUpdate& u) {
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const std::string change = zones_[i].handChange();
        if (change.empty()) continue;
        event(u, EventKind::operatorChange, zoneName(i) + ": " + change, int(i));
        state_.phase = RunPhase::paused;
        state_.pauseReason = zoneName(i) + ": " + change;
        closeHoldBack(u, plan_.at(state_.planClock),
                      waiting_ ? "hold-back ends with the pause" : nullptr);
        event(u, EventKind::pause, "paused: " + state_.pauseReason);
        u.stateChanged = true;
        return true;
    }
    return false;
}

std::optional<double> RunEngine::lag(std::size_t i, const PlanPoint& pt) const {
    const ZoneDriver& z = zones_[i];
    if (!z.reading.pv) return std::nullopt;
    const double planned = pt.sv + state_.zones[i].offset;
    const double pv = convertTemperature(*z.reading.pv, z.facts.unit, program_.unit);
    return pt.up ? planned - pv : pv - planned;
}

std::string RunEngine::lagText(std::size_t i, const PlanPoint& pt) const {
    const ZoneDriver& z = zones_[i];
    if (!z.reading.pv) return zoneName(i) + ", which does not answer";
    return zoneName(i) + ": PV " +
           degrees(convertTemperature(*z.reading.pv, z.facts.unit, program_.unit), program_.unit) +
           ", the plan " + degrees(pt.sv + state_.zones[i].offset, program_.unit);
}

void RunEngine::closeHoldBack(RunUpdate& u, const PlanPoint& pt, const char* how) {
    if (!episode_) return;
    // Timed when the plan went on, or now while it still waits.
    const double at = waiting_ ? wallNow() : goneOnAt_;
    const std::string text = how ? std::string(how)
                                 : "goes on after " + hoursMinutes(heldNow_) + " held back; " +
                                       stepName(program_, pt.step) + " held back " +
                                       hoursMinutes(waitedInSegment_) + " in all";
    u.events.push_back(RunEvent{at, std::nullopt, EventKind::holdBackEnd, state_.segment, text});
    episode_ = false;
    waiting_ = false;
}

bool RunEngine::holdBack(double dt, const PlanPoint& pt, RunUpdate& u) {
    // The zone furthest behind (one that does not answer before any), and
    // whether every zone is inside the band, or inside half of it.
    const double band = program_.holdback;
    std::optional<std::size_t> worst;
    double worstLag = 0;
    bool inBand = true, inHalf = true;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const auto l = lag(i, pt);
        const double behind = l ? *l : 1e300;
        inBand = inBand && behind <= band;
        inHalf = inHalf && behind <= band / 2;
        if (!worst || behind > worstLag) {
            worst = i;
            worstLag = behind;
        }
    }
    if (!waiting_) {
        if (inBand) {
            // The wait is over once the plan has gone on for a minute
            // without waiting again: a zone that falls behind again at once
            // is the same wait, not one more.
            if (episode_ && (goneOnFor_ += dt) >= kHoldBackSettleSeconds) closeHoldBack(u, pt);
            return false;
        }
        waiting_ = true;
        insideFor_ = 0;
        holdZonesBack(true);
        if (!episode_) {
            episode_ = true;
            heldNow_ = 0;
            waitingFor_ = int(*worst);
            event(u, EventKind::holdBackStart, "holding back for " + lagText(*worst, pt),
                  waitingFor_);
        }
    } else {
        // It goes on once every zone is well inside the band, or has stayed
        // inside it for a minute.
        insideFor_ = inBand ? insideFor_ + dt : 0;
        if (inHalf || insideFor_ >= kHoldBackSettleSeconds) {
            waiting_ = false;
            goneOnFor_ = 0;
            goneOnAt_ = wallNow();
            holdZonesBack(false);
            return false;
        }
    }
    // The zone waited for is named again when another is the one behind
    // and it has caught up, so the run never blames a zone that is fine.
    const auto named = lag(std::size_t(*waitingFor_), pt);
    if (int(*worst) != *waitingFor_ && named && *named <= band / 2 && worstLag > band / 2) {
        waitingFor_ = int(*worst);
        event(u, EventKind::holdBackStart, "holding back for " + lagText(*worst, pt), waitingFor_);
    }
    heldNow_ += dt;
    waitedInSegment_ += dt;
    if (program_.maxHoldback && !unreached_ && waitedInSegment_ >= *program_.maxHoldback) {
        // A zone that cannot get there would hold the firing for ever.
        unreached_ = *worst;
        const std::string text = "failed to reach temperature: " + lagText(*worst, pt) +
                                 ", after " + hoursMinutes(waitedInSegment_) + " held back in " +
                                 stepName(program_, pt.step);
        event(u, EventKind::alarm, text, int(*worst));
        if (program_.maxHoldbackHolds) {
            closeHoldBack(u, pt, "hold-back ends with the pause");
            state_.phase = RunPhase::paused;
            state_.pauseReason = text;
            event(u, EventKind::pause, "paused: " + text);
            u.stateChanged = true;
        } else {
            end(RunOutcome::failed, text, u);
        }
    }
    return true;
}

std::optional<RunEngine::HoldBack> RunEngine::holdBack() const {
    if (!waiting_ || !waitingFor_) return std::nullopt;
    const std::size_t i = std::size_t(*waitingFor_);
    const PlanPoint pt = plan_.at(state_.planClock);
    HoldBack h{heldNow_, i, std::nullopt, pt.sv + state_.zones[i].offset};
    if (zones_[i].reading.pv)
        h.pv = convertTemperature(*zones_[i].reading.pv, zones_[i].facts.unit, program_.unit);
    return h;
}

bool RunEngine::overTemperature(RunUpdate& u) {
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const ZoneDriver& z = zones_[i];
        const double limit =
            program_.maxTemp ? convertTemperature(*program_.maxTemp, program_.unit, z.facts.unit)
                             : z.facts.hi;
        // Two readings above it in a row: one bad reply does not end a firing.
        over_[i] = z.reading.pv && *z.reading.pv > limit ? over_[i] + 1 : 0;
        if (over_[i] < 2) continue;
        const std::string text =
            "over temperature: " + zoneName(i) + " at " +
            degrees(convertTemperature(*z.reading.pv, z.facts.unit, program_.unit), program_.unit) +
            ", above " + (program_.maxTemp ? "max_temp " : "its Hi limit ") +
            degrees(convertTemperature(limit, z.facts.unit, program_.unit), program_.unit);
        event(u, EventKind::alarm, text, int(i));
        end(RunOutcome::failed, text, u, true);
        return true;
    }
    return false;
}

void RunEngine::advance(double dt, RunUpdate& u) {
    const PlanPoint pt = plan_.at(state_.planClock);
    if (program_.holdback > 0 && !pt.ended && holdBack(dt, pt, u)) return;
    state_.planClock += dt;
    crossSegments(pt, u);
}

void RunEngine::crossSegments(const PlanPoint& pt, RunUpdate& u) {
    const PlanPoint next = plan_.at(state_.planClock);
    if (next.step == pt.step && !next.ended) return;
    // The segment's target goes out as it ends, whatever min_write says (of
    // the last one to end, when a long poll passed several).
    const Plan::Piece* ended = plan_.piece(next.ended ? next.step : next.step - 1);
    const double target = ended ? ended->to : next.sv;
    for (std::size_t i = 0; i < zones_.size(); ++i)
        zones_[i].setSv(zoneSetValue(program_, target, state_.zones[i].offset, zones_[i].facts),
                        runSeconds_);
    closeHoldBack(u, pt);
    const std::string waited = waitedInSegment_ > 0
                                   ? "; " + stepName(program_, pt.step) + " was held back " +
                                         hoursMinutes(waitedInSegment_)
                                   : std::string();
    // Every segment begun is recorded, those a long poll passed whole and
    // the last one included when the plan ended within the same poll.
    for (int s = pt.step + 1; s <= next.step; ++s)
        event(u, EventKind::segment, stepText(program_, s) + (s == pt.step + 1 ? waited : ""));
    state_.segment = next.segment;
    if (next.ended) return end(RunOutcome::completed, "", u);
    waitedInSegment_ = 0;
    unreached_.reset();
    u.stateChanged = true;
    enterSegment();
}

void RunEngine::enterSegment() {
    const PlanPoint pt = plan_.at(state_.planClock);
    const Plan::Piece* piece = plan_.piece(pt.step);
    if (!piece) return;
    for (std::size_t i = 0; i < zones_.size(); ++i)
        zones_[i].enter(program_, *piece, pt, state_.zones[i].offset, runSeconds_);
}

void RunEngine::holdZonesBack(bool hold) {
    const double planned = plannedSv();
    for (std::size_t i = 0; i < zones_.size(); ++i)
        zones_[i].holdBack(
            hold, zoneSetValue(program_, planned, state_.zones[i].offset, zones_[i].facts));
}

void RunEngine::follow() {
    if (waiting_) return;
    const double planned = plannedSv();
    for (std::size_t i = 0; i < zones_.size(); ++i)
        zones_[i].step(zoneSetValue(program_, planned, state_.zones[i].offset, zones_[i].facts),
                       runSeconds_, writes_.minWrite);
}

std::string RunEngine::sync(RunUpdate& u, bool last) {
    std::string refusal;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        ZoneDriver& z = zones_[i];
        // A controller that did not answer the poll is written to once it does.
        if (z.silent && !last) continue;
        for (const ZoneDriver::Done& done : z.sync(last)) {
            state_.writes += done.sent ? 1 : 0;
            u.stateChanged = true;
            if (done.problem.empty()) continue;
            event(u, EventKind::writeFailed, zoneName(i) + ": " + done.problem, int(i));
            if (done.fatal && refusal.empty()) refusal = zoneName(i) + ": " + done.problem;
        }
        state_.zones[i].lastWritten = z.heldSv;
    }
    return refusal;
}

void RunEngine::end(RunOutcome outcome, const std::string& why, RunUpdate& u, bool off) {
    if (ended()) return;
    const EndAction action = off ? EndAction::off : program_.end;
    // A run stopped before it began has written nothing to undo; a resumed
    // one that had not taken its zones up again yet had, before its driver
    // was lost, and ends as a begun one.
    const bool begun = state_.phase != RunPhase::waiting || resuming_;
    if (state_.phase == RunPhase::waiting && resuming_)
        for (ZoneDriver& z : zones_)
            z.takeOver();
    if (begun) {
        // Hold keeps the plan's SV where the run ended (its last target once
        // completed); a paused run holds what the operator left. Off needs
        // no SV.
        const bool hold = action == EndAction::hold && state_.phase != RunPhase::paused;
        const double planned = plannedSv();
        for (std::size_t i = 0; i < zones_.size(); ++i) {
            ZoneDriver& z = zones_[i];
            std::optional<double> sv;
            if (action == EndAction::sv)
                sv = zoneSetValue(program_, program_.endSv, 0, z.facts);
            else if (hold)
                sv = zoneSetValue(program_, planned, state_.zones[i].offset, z.facts);
            z.finish(state_.zones[i].rampBefore, action == EndAction::off, sv);
        }
        sync(u, true);
    }
    const double now = wallNow();
    state_.phase = RunPhase::ended;
    state_.outcome = outcome;
    state_.ended = now;
    state_.pauseReason.clear();
    u.stateChanged = true;
    closeHoldBack(u, plan_.at(state_.planClock),
                  waiting_ ? "hold-back ends with the run" : nullptr);
    std::string text = std::string(outcomeName(outcome)) + (why.empty() ? "" : ": " + why);
    if (state_.started)
        text += "; " + hoursMinutes((now - *state_.started) * state_.timeScale) +
                " after the start, " + formatWhole(state_.writes) + " writes (" +
                formatFixed(state_.writesPerHour(now), 1) + " an hour)";
    if (state_.started) {
        if (action == EndAction::off)
            text += "; the controllers are Off";
        else if (action == EndAction::sv)
            text += "; the controllers hold " + degrees(program_.endSv, program_.unit);
        else
            text += "; the controllers hold their set value";
    }
    event(u, EventKind::end, text);
}

void RunEngine::pause(const std::string& why) {
    if (state_.phase != RunPhase::running) return;
    RunUpdate u{state_, {}, {}, true};
    state_.phase = RunPhase::paused;
    state_.pauseReason = why;
    closeHoldBack(u, plan_.at(state_.planClock),
                  waiting_ ? "hold-back ends with the pause" : nullptr);
    event(u, EventKind::pause, "paused: " + why);
    flush(u);
}

void RunEngine::proceed() {
    if (state_.phase != RunPhase::paused) return;
    RunUpdate u{state_, {}, {}, true};
    state_.phase = RunPhase::running;
    state_.pauseReason.clear();
    event(u, EventKind::proceed,
          "goes on at " + degrees(plannedSv(), program_.unit) + " in " +
              stepText(program_, currentStep()));
    readZones(u);
    // What the operator left is where the run takes over again.
    for (ZoneDriver& z : zones_) {
        z.takeOver();
        z.heldRate.reset();
    }
    driveFromHere(u);
    lastTick_ = wallNow();
    flush(u);
}

void RunEngine::stop() {
    if (ended()) return;
    RunUpdate u{state_, {}, {}, true};
    end(RunOutcome::stopped, "", u);
    flush(u);
}

std::string RunEngine::notChangeable(bool whilePaused) const {
    switch (state_.phase) {
    case RunPhase::waiting:
        return "the run has not begun yet";
    case RunPhase::ended:
        return "the run has ended";
    case RunPhase::paused:
        return whilePaused ? ""
                           : "the run is paused (" + state_.pauseReason + "): go on with it first";
    case RunPhase::running:
        return "";
    }
    return "";
}

void RunEngine::replan() {
    plan_ = Plan(program_, state_.planStart);
    state_.programText = formatFiringProgram(program_);
}

int RunEngine::currentStep() const {
    return plan_.at(state_.planClock).step;
}

std::string RunEngine::skipSegment(const std::string& who) {
    if (auto why = notChangeable(false); !why.empty()) return why;
    // In a repeat, the next segment of the cycle, and from its last one the
    // first of the next cycle: the next step of the run order.
    const int step = currentStep();
    const std::string name = stepName(program_, step);
    if (step + 1 >= stepCount(program_))
        return name + " is the program's last: there is none to skip to";
    const Plan::Piece* piece = plan_.piece(step);
    if (!piece) return name + " is not on the plan";
    RunUpdate u{state_, {}, {}, true};
    const PlanPoint pt = plan_.at(state_.planClock);
    const double target = piece->to;
    const double left = std::max(0.0, piece->ends() - state_.planClock);
    std::string text = name + " skipped by " + who + ": ";
    if (pt.ramping)
        text += "its ramp ends at once at " + degrees(target, program_.unit) +
                (piece->holdSeconds > 0
                     ? ", its hold of " + hoursMinutes(piece->holdSeconds) + " left out"
                     : "");
    else
        text += "its hold ends " + hoursMinutes(left) + " early";
    text += "; " + hoursMinutes(std::max(0.0, secondsToGo() - left / state_.timeScale)) + " to go";
    if (waiting_) {
        holdZonesBack(false);
        closeHoldBack(u, pt, "hold-back ends with the skip");
    }
    event(u, EventKind::change, text);
    state_.planClock = piece->ends();
    crossSegments(pt, u);
    if (!ended()) {
        follow();
        if (auto why = sync(u, false); !why.empty()) end(RunOutcome::failed, why, u);
    }
    flush(u);
    return "";
}

std::string RunEngine::extendHold(double seconds, const std::string& who) {
    if (auto why = notChangeable(true); !why.empty()) return why;
    const int step = currentStep();
    const Plan::Piece* piece = plan_.piece(step);
    const std::string name = "segment " + formatWhole(stepOf(program_, step).segment + 1);
    if (!piece) return name + " is not on the plan";
    ProgramSegment& seg = program_.segments[std::size_t(piece->segment)];
    const double by = std::round(seconds / 60) * 60;
    if (by == 0) return "a hold is changed by at least a minute";
    if (by < 0 && seg.holdSeconds == 0) return name + " has no hold to shorten";
    const double hold = seg.holdSeconds + by;
    // What of the hold is done already stays done: the plan never goes back.
    const double held = std::max(0.0, state_.planClock - piece->begins - piece->rampSeconds);
    const double done = seg.holdSeconds - piece->holdSeconds + held;
    if (hold < done)
        return name + " has held " + hoursMinutes(done) + " of its " +
               hoursMinutes(seg.holdSeconds) + ": its hold can be shortened by at most " +
               hoursMinutes(seg.holdSeconds - done);
    if (hold > longestHold())
        return name + "'s hold would be " + hoursMinutes(hold) + ", and a program line holds " +
               "at most " + hoursMinutes(longestHold());
    RunUpdate u{state_, {}, {}, true};
    const double before = seg.holdSeconds;
    // The program as it runs holds one hold for the segment, so in a repeat
    // the cycles still to come take the change too. A cycle already run
    // stays as it was: the plan begins at this step from now on, so the
    // pieces behind it are not laid out again.
    if (piece->cycle > 0 && piece->step > state_.planStart.step) {
        const double into = state_.planClock - piece->begins;
        state_.planStart = PlanStart{piece->step, piece->from, 0.0};
        state_.planClock = into;
    }
    seg.holdSeconds = hold;
    const bool later = piece->cycle > 0 && program_.repeat && piece->cycle < program_.repeat->times;
    replan();
    event(u, EventKind::change,
          name + "'s hold " + (by > 0 ? "extended by " : "shortened by ") +
              hoursMinutes(std::abs(by)) + " by " + who + ": " + hoursMinutes(before) + " to " +
              hoursMinutes(hold) + (later ? " in this cycle and those after it" : "") + "; " +
              hoursMinutes(secondsToGo()) + " to go");
    flush(u);
    return "";
}

namespace {

std::string rateText(std::optional<double> rate, TemperatureUnit unit) {
    return rate ? numberText(*rate) + unitSign(unit) + "/h" : std::string("full");
}

} // namespace

std::string RunEngine::changeTarget(double target, const std::string& who) {
    if (auto why = notChangeable(false); !why.empty()) return why;
    const Plan::Piece* piece = plan_.piece(currentStep());
    if (!piece) return stepName(program_, currentStep()) + " is not on the plan";
    ProgramSegment seg = program_.segments[std::size_t(piece->segment)];
    const double before = seg.target;
    seg.target = target;
    return reshapeSegment(seg, "segment " + formatWhole(piece->segment + 1) + "'s target changed " +
                                   "by " + who + ": " + degrees(before, program_.unit) + " to " +
                                   degrees(target, program_.unit));
}

std::string RunEngine::changeRate(std::optional<double> rate, const std::string& who) {
    if (auto why = notChangeable(false); !why.empty()) return why;
    const PlanPoint pt = plan_.at(state_.planClock);
    const Plan::Piece* piece = plan_.piece(pt.step);
    if (!piece) return stepName(program_, pt.step) + " is not on the plan";
    const std::string name = "segment " + formatWhole(piece->segment + 1);
    if (!pt.ramping)
        return name + " holds at " + degrees(piece->to, program_.unit) +
               ": a hold has no rate to change";
    ProgramSegment seg = program_.segments[std::size_t(piece->segment)];
    const std::optional<double> before = seg.rate;
    seg.rate = rate;
    return reshapeSegment(seg, name + "'s rate changed by " + who + ": " +
                                   rateText(before, program_.unit) + " to " +
                                   rateText(rate, program_.unit));
}

std::string RunEngine::reshapeSegment(const ProgramSegment& changed, const std::string& told) {
    const PlanPoint pt = plan_.at(state_.planClock);
    const Plan::Piece* piece = plan_.piece(pt.step);
    if (!piece) return stepName(program_, pt.step) + " is not on the plan";
    FiringProgram next = program_;
    next.segments[std::size_t(piece->segment)] = changed;
    // Read back as the file it would be: the reader's own words, the line
    // it names told as the segment it is.
    const std::string text = formatFiringProgram(next);
    auto read = parseFiringProgram(text);
    if (const auto* e = std::get_if<ProgramError>(&read)) {
        const auto laid = parseFiringProgram(formatFiringProgram(program_));
        if (const auto* p = std::get_if<FiringProgram>(&laid))
            for (std::size_t k = 0; k < p->segments.size(); ++k)
                if (p->segments[k].line == e->line)
                    return "segment " + formatWhole(int(k) + 1) + ": " + e->why;
        return e->why;
    }
    // From here the ramp goes from where the plan is, the way its rate says.
    if (pt.ramping && changed.rate && (*changed.rate > 0) != (changed.target >= pt.sv))
        return "the rate " + numberText(*changed.rate) +
               (*changed.rate > 0 ? " climbs" : " cools") + ", but " + numberText(changed.target) +
               " is " + (*changed.rate > 0 ? "below" : "above") + " the " + numberText(pt.sv) +
               " the plan is at now";
    for (std::size_t i = 0; i < zones_.size(); ++i)
        if (auto why = limitsProblem(next, state_.zones[i].offset, zones_[i].facts, zoneName(i));
            !why.empty())
            return why;
    RunUpdate u{state_, {}, {}, true};
    // The plan begins again at this step and the point it is at: a ramp
    // from the set value planned now, a hold with what it has held.
    const double held = std::max(0.0, state_.planClock - piece->begins - piece->rampSeconds);
    const double done = pt.ramping ? 0.0
                                   : program_.segments[std::size_t(piece->segment)].holdSeconds -
                                         piece->holdSeconds + held;
    state_.planStart = PlanStart{pt.step, pt.ramping ? pt.sv : changed.target, done};
    state_.planClock = 0;
    program_.segments[std::size_t(piece->segment)] = changed;
    replan();
    enterSegment();
    if (waiting_) holdZonesBack(true);
    event(u, EventKind::change, told + "; " + hoursMinutes(secondsToGo()) + " to go");
    follow();
    if (auto why = sync(u, false); !why.empty()) end(RunOutcome::failed, why, u);
    flush(u);
    return "";
}

void RunEngine::stopStored() {
    if (opened_ || ended() || !stored_) return;
    RunUpdate u{state_, {}, {}, true};
    // The same run goes on in the store: what it had done stays its own.
    state_.opened = stored_->opened;
    state_.started = stored_->started;
    state_.writes = stored_->writes;
    state_.pauseReason = stored_->pauseReason;
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        ZoneDriver& z = zones_[i];
        auto facts = z.zone().facts();
        if (auto* f = std::get_if<ZoneFacts>(&facts)) {
            z.facts = *f;
            state_.zones[i].unit = f->unit;
        } else {
            // Its digits and ramp unknown, the end is still tried as its
            // program says: what the controller does not take is told.
            event(u, EventKind::silence, zoneName(i) + ": " + std::get<std::string>(facts), int(i));
        }
        z.reading = z.zone().read();
        z.silent = !z.reading.answered();
        if (z.facts.hasRamp && z.reading.answered()) z.heldRate = z.zone().readRampRate();
        z.takeOver();
    }
    opened_ = true;
    lastTick_ = wallNow();
    // A run that had begun ends as a begun one does; one still waiting for
    // its start wrote nothing and writes nothing.
    state_.phase = stored_->phase == RunPhase::ended ? RunPhase::waiting : stored_->phase;
    end(RunOutcome::stopped, "its process no longer ran", u);
    flush(u);
}

double RunEngine::kilnPv(int segment) const {
    // The zone furthest behind the way the segment goes is where the kiln is.
    const ProgramSegment& s =
        program_.segments[std::size_t(std::clamp(segment, 0, int(program_.segments.size()) - 1))];
    std::vector<double> pvs;
    for (std::size_t i = 0; i < zones_.size(); ++i)
        if (zones_[i].reading.pv)
            pvs.push_back(
                convertTemperature(*zones_[i].reading.pv, zones_[i].facts.unit, program_.unit) -
                state_.zones[i].offset);
    if (pvs.empty()) return roomTemperature(program_.unit);
    double mean = 0;
    for (double v : pvs)
        mean += v / double(pvs.size());
    const bool up = s.rate ? *s.rate > 0 : s.target >= mean;
    return up ? *std::min_element(pvs.begin(), pvs.end())
              : *std::max_element(pvs.begin(), pvs.end());
}

std::optional<double> RunEngine::zonePlanSv(std::size_t i) const {
    if (state_.phase != RunPhase::running && state_.phase != RunPhase::paused) return std::nullopt;
    return convertTemperature(plannedSv() + state_.zones[i].offset, program_.unit,
                              zones_[i].facts.unit);
}

void RunEngine::sample(RunUpdate& u) {
    const double now = wallNow();
    for (std::size_t i = 0; i < zones_.size(); ++i) {
        const ZoneDriver& z = zones_[i];
        RunSample s;
        s.time = now;
        s.zone = int(i);
        s.pv = z.reading.pv;
        s.sv = z.reading.sv;
        s.output = z.reading.output;
        s.planSv = zonePlanSv(i);
        u.samples.push_back(s);
    }
}

void RunEngine::event(RunUpdate& u, EventKind kind, const std::string& text,
                      std::optional<int> zone) {
    u.events.push_back(RunEvent{wallNow(), zone, kind, state_.segment, text});
}

void RunEngine::flush(RunUpdate& u) {
    for (RunListener* l : listeners_)
        l->runUpdated(u);
}
