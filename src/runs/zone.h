#pragma once
// One controller as a run drives it: what the engine reads and writes, and
// nothing more. The real controllers come in through controller_zone.h; the
// engine's tests put fakes in their place on a virtual clock.
#include "runs/program_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

// The control modes a run tells apart: Off, On, and whatever else an
// operator or the controller chose (Manual, auto-tuning, its own program).
enum class ZoneMode { off, on, other };

// What the run needs to know of a controller before it writes anything.
struct ZoneFacts {
    TemperatureUnit unit = TemperatureUnit::celsius;
    int digits = 0;              // display digits after the point: 0 or 1
    double lo = 0, hi = 0;       // the set values it takes (its Lo and Hi limits)
    bool hasRamp = false;        // it ramps its set value by itself (model D)
    double rampUnitSeconds = 60; // its ramp rate is in degrees per this many seconds
};

// One poll. A value is there only when a good reply gave it.
struct ZoneReading {
    std::optional<double> pv;
    std::optional<double> sv;        // the set value it regulates to now, as its display shows
    std::optional<double> svSetting; // its set value register: what a write or the keys put there
    std::optional<double> output;    // percent, where the controller tells it
    std::optional<ZoneMode> mode;
    // Its status word, where the poll read it (the alarm rules look at it).
    std::optional<std::uint16_t> status;
    bool answered() const { return pv.has_value(); }
};

struct ZoneWrite {
    enum class Result {
        confirmed,   // the echo says it was taken
        refused,     // the controller said no (an exception): it keeps its value
        unconfirmed, // no echo or a wrong one: held tells what it holds, when a read-back did
        notSent,     // refused here, before anything went out
        unreachable, // nothing went out: the controller did not answer what had to come first
    };
    Result result = Result::notSent;
    std::string why;            // for the record, when not confirmed
    std::optional<double> held; // what the register holds afterwards, when known
    bool ok() const { return result == Result::confirmed; }
    bool sent() const { return result != Result::notSent && result != Result::unreachable; }
};

// The controller's own corrections of its reading: its PV offset (degrees
// in its unit, added to what the sensor gives) and its SW filter.
struct ZoneCorrections {
    double pvOffset = 0;
    double swFilter = 0;
};

class Zone {
  public:
    virtual ~Zone() = default;
    // Reads the facts above; why it could not, else nothing.
    virtual std::variant<ZoneFacts, std::string> facts() = 0;
    virtual ZoneReading read() = 0;
    // The set value, through the checked write (limits, echo, read-back).
    virtual ZoneWrite writeSv(double value) = 0;
    virtual ZoneWrite writeMode(ZoneMode mode) = 0; // off or on
    // The ramp rate in the controller's own unit (degrees per
    // rampUnitSeconds), on a controller that has one. 0 is no ramp.
    virtual std::optional<double> readRampRate() = 0;
    virtual ZoneWrite writeRampRate(double rate) = 0;
    // Its PV offset and SW filter, read through the checked reads after
    // facts(); why not, else them. A zone that has no such registers says so.
    virtual std::variant<ZoneCorrections, std::string> corrections() {
        return std::string("it has no PV offset or SW filter to read");
    }
};
