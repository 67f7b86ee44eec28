#include "link/controller.h"

#include "link/probe_request.h"

void Controller::setControllerId(uint16_t id) {
    if (id == controllerId_) return;
    controllerId_ = id;
    health_.forget();
    pollFacts = {};
}

void Controller::noteModel(uint8_t code) {
    controllerVariant_ = code == 0 ? 0 : code == kModelAt ? 1 : 2;
    // Who answers at this id is asked again: it may be another device, with
    // its own unit, decimal point and reads it takes.
    if (code == 0) pollFacts = {};
}

ProbeResult Controller::probe() {
    line_.settle(settle::poll);
    const ProbeResult result = probeRequest(line_, controllerId_);
    health_.note(result.fault, line_.comPort());
    if (result.answered) noteModel(result.modelCode);
    line_.noteProbe(result.answered);
    return result;
}

void Controller::forgetRecord() {
    parmRecord = {};
    pollFacts = {};
    live = {};
    held_.reset();
    scale_ = {};
    mode_.reset();
}

void Controller::reset() {
    controllerId_ = 1;
    controllerVariant_ = 0;
    writeEcho_ = {};
    health_.forget();
    forgetRecord();
}
