#pragma once
// Runs the step program stored in 0x0032-0x005A while the mode is 5: moves the
// set point through the segments, holds a step until PV is inside the
// tolerance band, follows loops, and reports its place in 0x1003.
#include "sim/register_map.h"

#include <array>

namespace sim {

class ProgramRunner {
  public:
    static constexpr int kSteps = 8;
    static constexpr uint16_t kRunning = 4;
    static constexpr int kStatusPerSegment = 15;
    static constexpr uint16_t kEndless = 9999;

    // Advances simulated time; call ahead of the process model so it follows
    // the set point chosen here.
    void advance(double seconds, RegisterMap& registers);
    bool running() const { return running_; }
    int segment() const { return segment_; }

  private:
    void start(RegisterMap& registers);
    void finish(RegisterMap& registers, bool switchOff);
    void enterSegment(int segment, RegisterMap& registers);
    // Where the program goes after the current step; false when it ends.
    bool nextStep(RegisterMap& registers);
    double segmentSeconds(const RegisterMap& registers) const;
    bool insideBand(const RegisterMap& registers) const;
    void publish(RegisterMap& registers) const;

    bool running_ = false;
    int segment_ = 0;
    double elapsed_ = 0.0;                // seconds into the current segment
    double rampFrom_ = 0.0;               // set point the first segment of a step starts from
    double setPoint_ = 0.0;               // tenths, as the registers hold it
    uint16_t savedSv_ = 0;                // the operator's SV, given back when the program ends
    std::array<int, kSteps> loopsLeft_{}; // -1: loop not entered yet
};

} // namespace sim
