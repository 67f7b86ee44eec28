#pragma once
// The controllers on one line that a caller asks, one object per id, made
// as each id is first asked: the Line panel's rows, the ids of a command
// run on several, the bridge's. Each keeps its own health, record and
// scale, so what one answers is never taken for another's.
#include "link/controller.h"

#include <map>
#include <memory>

class LineControllers {
  public:
    explicit LineControllers(Line& line) : line_(line) {}
    Line& line() const { return line_; }
    // The controller at id, with nothing known of it the first time.
    Controller& at(uint16_t id) {
        std::unique_ptr<Controller>& c = byId_[id];
        if (!c) {
            c = std::make_unique<Controller>(line_);
            c->setControllerId(id);
        }
        return *c;
    }

  private:
    Line& line_;
    std::map<uint16_t, std::unique_ptr<Controller>> byId_;
};
