#include "sim/process_model.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// After a long stall (a debugger, a suspended laptop) don't grind through hours of steps.
constexpr double kMaxCatchUp = 3600.0;
constexpr double kDerivativeFilter = 8.0; // derivative time over filter time

uint16_t toRegister(double value) {
    const double clamped = std::clamp(std::round(value), -32768.0, 32767.0);
    return static_cast<uint16_t>(static_cast<int16_t>(clamped));
}

} // namespace

void ProcessModel::advance(double seconds, RegisterMap& registers) {
    pending_ = std::min(pending_ + std::max(seconds, 0.0), kMaxCatchUp);
    while (pending_ >= kStep) {
        step(kStep, registers);
        pending_ -= kStep;
    }
    const double pv = temperature_ + registers.getSigned(regs::kPvOffset);
    registers.set(regs::kPv, toRegister(pv));
    registers.set(regs::kOutput, toRegister(output_ * 10.0));
}

void ProcessModel::step(double h, RegisterMap& registers) {
    const Mode mode = registers.mode();
    if (mode != lastMode_) tuneElapsed_ = 0.0;

    const double pv = temperature_ + registers.getSigned(regs::kPvOffset);
    switch (mode) {
    case Mode::Off:
        output_ = 0.0;
        integral_ = 0.0;
        break;
    case Mode::Manual:
        output_ = std::clamp(registers.getSigned(regs::kOutputLevel) / 10.0, 0.0, 100.0);
        break;
    case Mode::AutoTune1:
    case Mode::AutoTune2:
        // Tuning is not modelled beyond its duration: the loop keeps control
        // and hands back to On when done.
        output_ = controlOutput(h, registers, pv);
        tuneElapsed_ += h;
        if (tuneElapsed_ >= kAutoTuneTime) registers.set(regs::kMode, uint16_t(Mode::On));
        break;
    case Mode::On:
    case Mode::Program: // the program runner moves SV; the loop just follows it
    default:
        output_ = controlOutput(h, registers, pv);
        break;
    }
    lastMode_ = registers.mode();
    lastPv_ = pv;

    const double heat = process_.gain * process_.heating * output_;
    const double dT = (heat - (temperature_ - kAmbient)) / process_.tau;
    temperature_ += dT * h;
}

double ProcessModel::controlOutput(double h, const RegisterMap& registers, double pv) {
    // The SV it regulates to: a ramp's on the way to the register's.
    const double sv = registers.getSigned(regs::kSvLive);
    // Rev (heating) raises the output below SV; Dir raises it above.
    const double sign = registers.get(regs::kAction) == 0 ? -1.0 : 1.0;
    const double error = sign * (sv - pv);
    const double band = registers.getSigned(regs::kPBand);
    if (band <= 0) return error > 0 ? 100.0 : 0.0; // on/off control

    const double kc = 100.0 / band;
    const double ti = registers.getSigned(regs::kIntegral);
    const double td = registers.getSigned(regs::kDerivative);
    // Derivative on PV so an SV step does not kick the output, and filtered:
    // the raw step-to-step slope times Td would make the loop chatter.
    const double filterTime = td / kDerivativeFilter;
    slope_ += ((pv - lastPv_) / h - slope_) * h / (filterTime + h);
    const double derivative = td > 0 ? -sign * td * slope_ : 0.0;
    const double unclamped = kc * (error + integral_ + derivative);
    const double out = std::clamp(unclamped, 0.0, 100.0);
    // Integrate only inside the proportional band and never further into
    // saturation, so a long warm-up does not wind up into a big overshoot.
    if (ti > 0) {
        const bool windingUp = (unclamped >= 100.0 && error > 0) || (unclamped <= 0.0 && error < 0);
        if (!windingUp && std::abs(error) < band) integral_ += error * h / ti;
    } else {
        integral_ = 0.0;
    }
    return out;
}

} // namespace sim
