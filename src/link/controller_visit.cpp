#include "link/controller_visit.h"

#include "link/session_state.h"

ControllerVisit::ControllerVisit(uint16_t id) {
    SessionState& s = sessionState();
    other_ = id != s.controllerId;
    if (!other_) return;
    wasVisiting_ = s.visiting;
    wasVisitedId_ = s.visitedId;
    s.visiting = true;
    s.visitedId = id;
}

ControllerVisit::~ControllerVisit() {
    if (!other_) return;
    SessionState& s = sessionState();
    s.visitedId = wasVisitedId_;
    s.visiting = wasVisiting_;
}

OthersVisit::OthersVisit() : wasVisiting_(sessionState().visiting) {
    sessionState().visiting = true;
}

OthersVisit::~OthersVisit() {
    sessionState().visiting = wasVisiting_;
}
