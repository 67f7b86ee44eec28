#pragma once
// What became of each register of a transfer that writes several, in the
// order they were to go out. A transfer that stops part-way (the controller
// stops answering, or the operator or a signal stops it) leaves the
// controller holding some new values and some old ones; the ledger says
// which, so the message can name them.
#include "link/results.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class WriteLedger {
  public:
    enum class Fate : uint8_t {
        notSent,
        confirmed,   // the echo came back
        refused,     // an exception reply: the controller kept its value
        unconfirmed, // sent, but no echo: it may or may not have been taken
    };

    // The registers to write, in sending order; every one starts as not sent.
    void plan(uint16_t reg);
    // What became of the write of reg.
    void note(uint16_t reg, const Outcome& outcome);
    std::vector<uint16_t> registers(Fate fate) const;
    bool anyNotSent() const { return !registers(Fate::notSent).empty(); }

    using Namer = std::function<std::string(uint16_t reg)>;
    // "confirmed: A, B; sent without confirmation: C; never sent: D, E",
    // leaving out what is empty; for one line on a terminal.
    std::string inlineText(const Namer& name) const;
    // The same, a line each, "Confirmed: A, B." and so on, for a popup.
    std::string listText(const Namer& name) const;

  private:
    std::string text(const Namer& name, bool lines) const;
    struct Entry {
        uint16_t reg;
        Fate fate;
    };
    std::vector<Entry> entries_;
};
