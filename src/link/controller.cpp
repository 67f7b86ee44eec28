#include "link/controller.h"

#include "link/probe_request.h"

namespace {

constexpr uint8_t kModelAt = '@';

} // namespace

ProbeResult Controller::probe() {
    line_.settle(settle::poll);
    const ProbeResult result = probeRequest(line_, controllerId_);
    if (result.answered) controllerVariant_ = result.modelCode == kModelAt ? 1 : 2;
    line_.noteProbe(result.answered);
    return result;
}

uint16_t Controller::addressedId() const {
    const uint16_t visited = line_.visitedId();
    return visited != 0 ? visited : uint16_t(controllerId_);
}

void Controller::forgetRecord() {
    parmRecord = {};
    held_.reset();
    scale_ = {};
    mode_.reset();
}

void Controller::reset() {
    controllerId_ = 1;
    controllerVariant_ = 0;
    writeEcho_ = {};
    forgetRecord();
}
