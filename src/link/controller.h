#pragma once
// One controller on a line: its id, its model, what it holds (the record,
// and which of its fields it gave in this connection), its scale, the echo
// of its last write and its health. Each id on a line that is asked
// anything has a controller object of its own, so what one answers or
// not is never taken for another's. Reads and writes go to it through
// transfer.h.
#include "link/control_mode.h"
#include "link/controller_health.h"
#include "link/line.h"
#include "link/parm_record.h"
#include "link/probe_result.h"
#include "link/scale.h"

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <optional>

class Controller {
  public:
    explicit Controller(Line& line) : line_(line) {}
    Line& line() const { return line_; }

    uint16_t controllerId() const { return controllerId_; }
    // Every later request goes to the new id at once. Another id is another
    // controller: what this one's health said is forgotten.
    void setControllerId(uint16_t id);
    // 0 until a good probe; then 1 for model '@', 2 for model 'D'.
    uint16_t controllerVariant() const { return controllerVariant_; }
    // The model code its identification gave ('@' or 'D'); 0 forgets it, and what
    // polls found out about it.
    void noteModel(uint8_t code);
    // Settles the line as a poll does and asks for the identification, once.
    // A controller of a known model sets the variant and the line's
    // `connected` event goes out; anything else takes the link down (the
    // port stays open).
    ProbeResult probe();

    // Whether it answers its own requests, and since when it has not.
    ControllerHealth& health() { return health_; }
    const ControllerHealth& health() const { return health_; }

    // What the last single-register write got back (zeros where nothing came).
    std::array<uint8_t, 8> writeEcho() const { return writeEcho_; }
    void noteWriteEcho(const std::array<uint8_t, 8>& echo) { writeEcho_ = echo; }

    // The one in-memory copy of the controller's configuration.
    ParmRecord parmRecord;
    // Registers whose record value the controller gave: read from it, or
    // written and confirmed. The rest hold start-up zeros or an operator's
    // value the controller never took, which no panel passes off as its own.
    using Held = std::bitset<64>;
    void noteHeld(uint16_t reg) {
        if (reg < held_.size()) held_.set(reg);
    }
    bool isHeld(uint16_t reg) const { return reg < held_.size() && held_.test(reg); }
    void forgetHeld(uint16_t reg) {
        if (reg < held_.size()) held_.reset(reg);
    }
    // A new connection: nothing in the record has been given by the
    // controller at the other end yet, whatever an earlier one gave; nor is
    // its mode known.
    void forgetAllHeld() {
        held_.reset();
        mode_.reset();
    }
    Held held() const { return held_; }
    void setHeld(Held held) { held_ = held; }

    // The control mode as the controller last reported or confirmed it;
    // nothing before it did in this connection. What the panels show of the
    // mode comes from here.
    std::optional<ControlMode> mode() const { return mode_; }
    void noteMode(ControlMode mode) { mode_ = mode; }

    // The decimal point's scale, as the record's decimal point last set it.
    Scale scale() const { return scale_; }
    void setScale(Scale scale) { scale_ = scale; }

    // What polls found out about it (monitor/controller_poll.h), kept for
    // its next polls.
    struct PollFacts {
        // It answers PV to the status word in one request; nothing until it
        // answered such a read or refused it.
        std::optional<bool> liveBlock;
        // When its unit and decimal point were last read; nothing before the
        // first poll, or once a write may have changed them.
        std::optional<Clock::TimePoint> unitRead;
    };
    PollFacts pollFacts;

    // The live values as the last good read of each gave them (PV and SV
    // in engineering units, the status word as it came) and when, on the
    // line clock: whoever reads them for its own use leaves them here, so
    // that another watcher of the same controller (the panels' alarm rules)
    // observes that read rather than asking again.
    struct LiveRead {
        std::optional<double> value;
        Clock::TimePoint at{};
        void note(double v) {
            value = v;
            at = lineClock().now();
        }
    };
    struct LiveReads {
        LiveRead pv, sv, status;
    };
    LiveReads live;

    // The record as at start-up, nothing of it held, whole units: what
    // another controller left passes for nothing of this one's.
    void forgetRecord();
    // Start-up values again: the program's start, and every test.
    void reset();

  private:
    Line& line_;
    std::atomic<uint16_t> controllerId_{1};
    std::atomic<uint16_t> controllerVariant_{0};
    std::array<uint8_t, 8> writeEcho_{};
    Held held_;
    Scale scale_;
    std::optional<ControlMode> mode_;
    ControllerHealth health_;
};
