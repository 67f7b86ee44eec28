#include "sim/program_runner.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr uint16_t kBand = 0x0032;
constexpr uint16_t kFirstStep = 0x0033;
constexpr uint16_t kNext = 10;
// Zero-length segments in an endless loop would otherwise never give the time back.
constexpr int kMaxTransitionsPerAdvance = 64;

uint16_t stepReg(int step, int field) {
    return uint16_t(kFirstStep + 5 * step + field);
}

} // namespace

void ProgramRunner::advance(double seconds, RegisterMap& registers) {
    const bool programMode = registers.mode() == Mode::Program;
    if (programMode && !running_) start(registers);
    if (!programMode && running_) finish(registers, false);
    if (!running_) return;

    double left = std::max(seconds, 0.0);
    for (int transitions = 0; running_ && transitions < kMaxTransitionsPerAdvance;) {
        const double length = segmentSeconds(registers);
        const double toGo = length - elapsed_;
        if (left < toGo) {
            elapsed_ += left;
            break;
        }
        const bool stepEnd = segment_ % 2 == 1;
        if (stepEnd && !insideBand(registers)) {
            elapsed_ = length; // time is up, but PV has to arrive first
            break;
        }
        left -= std::max(toGo, 0.0);
        ++transitions;
        if (!stepEnd) {
            enterSegment(segment_ + 1, registers);
        } else if (!nextStep(registers)) {
            finish(registers, true);
            return;
        }
    }
    if (running_ && segment_ % 2 == 0) {
        // First segment: ramp from where the step started to its set value.
        const double length = segmentSeconds(registers);
        const double target = registers.getSigned(stepReg(segment_ / 2, 1));
        const double share = length > 0 ? std::min(elapsed_ / length, 1.0) : 1.0;
        setPoint_ = rampFrom_ + (target - rampFrom_) * share;
    }
    publish(registers);
}

void ProgramRunner::start(RegisterMap& registers) {
    running_ = true;
    savedSv_ = registers.get(regs::kSv);
    loopsLeft_.fill(-1);
    // The first ramp starts where the process is.
    setPoint_ = registers.getSigned(regs::kPv);
    enterSegment(0, registers);
    publish(registers);
}

void ProgramRunner::finish(RegisterMap& registers, bool switchOff) {
    running_ = false;
    registers.set(regs::kSv, savedSv_);
    registers.set(regs::kRunStatus, 0);
    // A finished program leaves the controller in standby.
    if (switchOff) registers.set(regs::kMode, uint16_t(Mode::Off));
}

void ProgramRunner::enterSegment(int segment, RegisterMap& registers) {
    segment_ = segment;
    elapsed_ = 0.0;
    if (segment % 2 == 0)
        rampFrom_ = setPoint_;
    else
        setPoint_ = registers.getSigned(stepReg(segment / 2, 1));
}

bool ProgramRunner::nextStep(RegisterMap& registers) {
    const int step = segment_ / 2;
    const int action = registers.get(stepReg(step, 3)) & 0xFF;
    int next = -1;
    if (action == kNext) {
        next = step + 1;
    } else if (action < kSteps) {
        const int count = registers.get(stepReg(step, 4));
        int& left = loopsLeft_[std::size_t(step)];
        if (left < 0) left = count;
        if (count == kEndless) {
            next = action;
        } else if (left > 0) {
            --left;
            next = action;
        } else {
            left = -1; // an outer loop that comes back here gets the full count again
            next = step + 1;
        }
    }
    if (next < 0 || next >= kSteps) return false;
    enterSegment(2 * next, registers);
    return true;
}

double ProgramRunner::segmentSeconds(const RegisterMap& registers) const {
    const int step = segment_ / 2;
    const uint16_t time = registers.get(stepReg(step, segment_ % 2 == 0 ? 0 : 2));
    return time * (registers.get(regs::kTimeUnit) == 1 ? 60.0 : 1.0);
}

bool ProgramRunner::insideBand(const RegisterMap& registers) const {
    const double band = registers.getSigned(kBand);
    return std::abs(registers.getSigned(regs::kPv) - setPoint_) <= band;
}

void ProgramRunner::publish(RegisterMap& registers) const {
    registers.set(regs::kSv,
                  uint16_t(int16_t(std::lround(std::clamp(setPoint_, -32768.0, 32767.0)))));
    registers.set(regs::kRunStatus, uint16_t(kRunning << 8 | (segment_ * kStatusPerSegment)));
}

} // namespace sim
