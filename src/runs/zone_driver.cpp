#include "runs/zone_driver.h"

#include "base/number_text.h"
#include "base/typed_number.h"
#include "runs/program_limits.h"

#include <cmath>

namespace {

// The ramp rate register's largest value, in steps of its last digit.
constexpr double kMaxRampSteps = 32767;

const char* whatBecame(ZoneWrite::Result r) {
    switch (r) {
    case ZoneWrite::Result::confirmed:
        return "confirmed";
    case ZoneWrite::Result::unconfirmed:
        return "not confirmed";
    case ZoneWrite::Result::unreachable:
        return "not sent";
    default:
        return "refused";
    }
}

bool fatal(ZoneWrite::Result r) {
    return r == ZoneWrite::Result::refused || r == ZoneWrite::Result::notSent;
}

} // namespace

bool ZoneDriver::same(double a, double b) const {
    return std::fabs(a - b) < (facts.digits ? 0.05 : 0.5);
}

std::string ZoneDriver::text(double value) const {
    return formatFixed(value, facts.digits);
}

void ZoneDriver::takeOver() {
    heldSv = reading.svSetting;
    wantMode_.reset();
    onConfirmed_ = reading.mode == ZoneMode::on;
    wantSv_.reset();
    attemptedSv_.reset();
    heldBack_ = false;
    lastStepAt_ = -std::numeric_limits<double>::infinity();
}

void ZoneDriver::prime(double startSv) {
    if (!facts.hasRamp) return;
    if (reading.sv && same(*reading.sv, startSv) && heldSv && same(*heldSv, startSv)) return;
    wantRate_ = 0.0;
    wantSv_ = startSv;
}

std::optional<double> ZoneDriver::rampRateFor(const FiringProgram& program, double perHour) const {
    const double rate = std::fabs(convertDifference(perHour, program.unit, facts.unit)) *
                        facts.rampUnitSeconds / 3600.0;
    const double step = facts.digits ? 0.1 : 1.0;
    const double steps = std::round(rate / step);
    if (steps < 1 || steps > kMaxRampSteps) return std::nullopt;
    const double held = roundedTo(steps * step, facts.digits);
    if (std::fabs(held - rate) > rate * kRampRateTolerance) return std::nullopt;
    return held;
}

void ZoneDriver::enter(const FiringProgram& program, const Plan::Piece& piece, const PlanPoint& now,
                       double offset, double runSeconds) {
    const std::optional<double> rate = facts.hasRamp && piece.rate && now.ramping
                                           ? rampRateFor(program, *piece.rate)
                                           : std::nullopt;
    ramping_ = rate.has_value();
    heldBack_ = false;
    // The controller's own ramp would hold back the steps: it is off for them.
    if (facts.hasRamp) wantRate_ = rate.value_or(0.0);
    if (ramping_) {
        target_ = zoneSetValue(program, piece.to, offset, facts);
        wantSv_ = target_;
    } else {
        setSv(zoneSetValue(program, now.sv, offset, facts), runSeconds);
    }
}

void ZoneDriver::setSv(double sv, double runSeconds) {
    wantSv_ = sv;
    lastStepAt_ = runSeconds;
}

void ZoneDriver::holdBack(bool hold, double plannedSv) {
    if (!ramping_ || heldBack_ == hold) return;
    heldBack_ = hold;
    wantSv_ = hold ? plannedSv : target_;
}

void ZoneDriver::step(double plannedSv, double runSeconds, double minWrite) {
    if (ramping_ || (wantSv_ && same(plannedSv, *wantSv_))) return;
    if (runSeconds - lastStepAt_ < minWrite) return;
    setSv(plannedSv, runSeconds);
}

void ZoneDriver::finish(std::optional<double> rampBefore, bool off, std::optional<double> sv) {
    if (facts.hasRamp && rampBefore) wantRate_ = rampBefore;
    if (off) wantMode_ = ZoneMode::off;
    if (sv) {
        wantSv_ = sv;
    } else {
        // Left as it is: nothing more is sent to it.
        wantSv_.reset();
    }
    if (!off) wantMode_.reset();
}

std::string ZoneDriver::handChange() {
    if (!reading.answered()) return "";
    if (reading.svSetting && heldSv && !same(*reading.svSetting, *heldSv)) {
        // A write that was not confirmed may well have been taken.
        if (attemptedSv_ && same(*reading.svSetting, *attemptedSv_)) {
            heldSv = attemptedSv_;
            attemptedSv_.reset();
        } else {
            return "SV set to " + text(*reading.svSetting) + " by hand; the run had written " +
                   text(*heldSv);
        }
    }
    if (reading.mode && wantMode_ == ZoneMode::on) {
        if (*reading.mode == ZoneMode::on)
            onConfirmed_ = true;
        else if (onConfirmed_)
            return *reading.mode == ZoneMode::off ? "switched Off by hand"
                                                  : "switched out of On by hand";
    }
    return "";
}

ZoneDriver::Done ZoneDriver::judge(const ZoneWrite& w, const std::string& what, double wanted,
                                   std::optional<double>& held) {
    Done done;
    done.sent = w.sent();
    if (w.ok() || (w.held && same(*w.held, wanted))) {
        held = wanted;
        return done;
    }
    if (w.held) held = w.held;
    done.problem = what + " " + text(wanted) + " was " + whatBecame(w.result) +
                   (w.why.empty() ? "" : " (" + w.why + ")");
    done.fatal = fatal(w.result);
    return done;
}

std::vector<ZoneDriver::Done> ZoneDriver::sync(bool last) {
    std::vector<Done> done;
    if (wantRate_ && (!heldRate || !same(*wantRate_, *heldRate))) {
        done.push_back(
            judge(zone_->writeRampRate(*wantRate_), "the ramp rate", *wantRate_, heldRate));
        // A controller ramping at another rate than planned would run off
        // on its own; its set value waits for the rate.
        if (!done.back().problem.empty() && !last) return done;
    }
    if (wantSv_ && (!heldSv || !same(*wantSv_, *heldSv))) {
        const ZoneWrite w = zone_->writeSv(*wantSv_);
        done.push_back(judge(w, "SV", *wantSv_, heldSv));
        attemptedSv_.reset();
        if (w.result == ZoneWrite::Result::unconfirmed && !(heldSv && same(*heldSv, *wantSv_)))
            attemptedSv_ = wantSv_;
    }
    const bool modeDiffers = !reading.mode || *reading.mode != wantMode_;
    if (wantMode_ && modeDiffers && (reading.mode || last)) {
        const ZoneWrite w = zone_->writeMode(*wantMode_);
        Done d;
        d.sent = w.sent();
        if (w.ok()) {
            reading.mode = wantMode_;
            onConfirmed_ = wantMode_ == ZoneMode::on;
        } else {
            d.problem = std::string("the mode ") + (*wantMode_ == ZoneMode::on ? "On" : "Off") +
                        " was " +
                        (w.result == ZoneWrite::Result::unconfirmed ? "not confirmed" : "refused") +
                        (w.why.empty() ? "" : " (" + w.why + ")");
            d.fatal =
                w.result == ZoneWrite::Result::refused || w.result == ZoneWrite::Result::notSent;
        }
        done.push_back(d);
    }
    return done;
}
