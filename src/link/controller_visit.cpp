#include "link/controller_visit.h"

#include "link/controller.h"

ControllerVisit::ControllerVisit(uint16_t id) {
    Line& line = session();
    other_ = id != sessionController().controllerId();
    if (!other_) return;
    wasVisiting_ = line.visiting();
    wasVisitedId_ = line.visitedId();
    line.setVisit(true, id);
}

ControllerVisit::~ControllerVisit() {
    if (!other_) return;
    session().setVisit(wasVisiting_, wasVisitedId_);
}

OthersVisit::OthersVisit() : wasVisiting_(session().visiting()) {
    session().setVisit(true, session().visitedId());
}

OthersVisit::~OthersVisit() {
    session().setVisit(wasVisiting_, session().visitedId());
}
