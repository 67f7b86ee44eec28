#pragma once
// A first-order thermal process with a heater, and the controller's own loop
// that drives it. Temperatures are in tenths of a degree, as the registers hold them.
#include "sim/register_map.h"

namespace sim {

// How the process answers its heater. The bench process is small and quick;
// a kiln is a large thermal mass whose elements limit how fast it climbs,
// more so the hotter it gets, so a fast ramp is not followed at once.
struct Process {
    double tau = 60.0;  // seconds
    double gain = 40.0; // tenths per percent of output: where full power settles above ambient
    // The share of its heater's power a unit has (a weak element, a door
    // left ajar): 1 is all of it.
    double heating = 1.0;

    static Process bench() { return {}; }
    // Full power settles some 1400 degrees above the room and climbs some
    // 900 degrees an hour from it, under 300 an hour at 1000 degrees.
    static Process kiln() { return {5400.0, 140.0}; }
};

class ProcessModel {
  public:
    static constexpr double kAmbient = 235.0; // 23.5 degrees
    static constexpr double kStep = 0.05;     // integration step, simulated seconds
    static constexpr double kAutoTuneTime = 20.0;

    explicit ProcessModel(Process process = Process::bench()) : process_(process) {}

    // Advances simulated time, reading the loop parameters from the registers
    // and writing PV, output and (when auto-tuning finishes) the mode back.
    void advance(double seconds, RegisterMap& registers);

    void setTemperature(double tenths) { temperature_ = tenths; }
    double temperature() const { return temperature_; }
    double outputPercent() const { return output_; }

  private:
    void step(double h, RegisterMap& registers);
    double controlOutput(double h, const RegisterMap& registers, double pv);

    Process process_;
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
