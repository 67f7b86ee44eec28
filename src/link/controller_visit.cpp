#include "link/controller_visit.h"

#include "link/session_state.h"

ControllerVisit::ControllerVisit(uint16_t id) {
    SessionState& s = sessionState();
    ownId_ = s.controllerId;
    other_ = id != ownId_;
    if (!other_) return;
    wasVisiting_ = s.visiting;
    s.visiting = true;
    s.controllerId = id;
}

ControllerVisit::~ControllerVisit() {
    if (!other_) return;
    SessionState& s = sessionState();
    s.controllerId = ownId_;
    s.visiting = wasVisiting_;
}

OthersVisit::OthersVisit() : wasVisiting_(sessionState().visiting) {
    sessionState().visiting = true;
}

OthersVisit::~OthersVisit() {
    sessionState().visiting = wasVisiting_;
}
