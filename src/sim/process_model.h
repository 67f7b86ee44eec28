#pragma once
// A first-order thermal process with a heater, and the controller's own loop
// that drives it. Temperatures are in tenths of a degree, as the registers hold them.
#include "sim/register_map.h"

namespace sim {

class ProcessModel {
  public:
    static constexpr double kAmbient = 235.0; // 23.5 degrees
    static constexpr double kTau = 60.0;      // seconds
    static constexpr double kGain = 40.0;     // tenths per percent: 100 % settles ~400 degrees up
    static constexpr double kStep = 0.05;     // integration step, simulated seconds
    static constexpr double kAutoTuneTime = 20.0;

    // Advances simulated time, reading the loop parameters from the registers
    // and writing PV, output and (when auto-tuning finishes) the mode back.
    void advance(double seconds, RegisterMap& registers);

    void setTemperature(double tenths) { temperature_ = tenths; }
    double temperature() const { return temperature_; }
    double outputPercent() const { return output_; }

  private:
    void step(double h, RegisterMap& registers);
    double controlOutput(double h, const RegisterMap& registers, double pv);

    double temperature_ = kAmbient;
    double output_ = 0.0;
    double integral_ = 0.0; // accumulated error x seconds / Ti, in tenths
    double lastPv_ = kAmbient;
    double slope_ = 0.0;   // filtered PV slope, tenths per second
    double pending_ = 0.0; // simulated time not yet integrated
    Mode lastMode_ = Mode::On;
    double tuneElapsed_ = 0.0;
};

} // namespace sim
