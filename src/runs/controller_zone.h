#pragma once
// A run's zone on a real controller: each read and write takes the way the
// panels, `q7 set` and the bridge take (the validated reads, the checked set
// value write with its Lo/Hi check, echo and read-back, the guarded mode
// write, the parameter write of the ramp rate). The controller comes
// connected: its id set and its model probed, on its line.
#include "runs/zone.h"

class Controller;

class ControllerZone final : public Zone {
  public:
    explicit ControllerZone(Controller& controller) : c_(controller) {}

    std::variant<ZoneFacts, std::string> facts() override;
    ZoneReading read() override;
    ZoneWrite writeSv(double value) override;
    ZoneWrite writeMode(ZoneMode mode) override;
    std::optional<double> readRampRate() override;
    ZoneWrite writeRampRate(double rate) override;
    std::variant<ZoneCorrections, std::string> corrections() override;

  private:
    Controller& c_;
};
