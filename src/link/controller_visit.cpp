#include "link/controller_visit.h"

#include "link/controller.h"

ControllerVisit::ControllerVisit(Controller& own, uint16_t id)
    : line_(own.line()), other_(id != own.controllerId()) {
    if (!other_) return;
    wasVisiting_ = line_.visiting();
    wasVisitedId_ = line_.visitedId();
    line_.setVisit(true, id);
}

ControllerVisit::~ControllerVisit() {
    if (!other_) return;
    line_.setVisit(wasVisiting_, wasVisitedId_);
}

OthersVisit::OthersVisit(Line& line) : line_(line), wasVisiting_(line.visiting()) {
    line_.setVisit(true, line_.visitedId());
}

OthersVisit::~OthersVisit() {
    line_.setVisit(wasVisiting_, line_.visitedId());
}
