#include "mainpanel/controller_controls.h"

#include "link/controller.h"
#include "link/line.h"
#include "link/line_events.h"
#include "mainpanel/ids/main_panel.h"

#include <array>

namespace ids = MainPanel;

namespace {

constexpr CtrlId kEveryModel[] = {
    ids::readButton,
    ids::saveFileButton,
    ids::loadFileButton,
    ids::chartButton,
    ids::stepProgramButton,
    ids::pvReadSwitch,
    ids::svEntry,
    ids::modeRing,
    ids::outputIndicator,
    ids::autoTuneIndicator,
    ids::sensorRing,
    ids::unitRing,
    ids::actionRing,
    ids::decimalPointRing,
    ids::timeUnitRing,
    ids::eropRing,
    ids::cycleTimeNumeric,
    ids::a1FunctionRing,
    ids::a1ModeRing,
    ids::alarmSetPointNumeric,
    ids::hysteresisNumeric,
    ids::alarmDelayMajor,
    ids::alarmDelayMinor,
    ids::alarmUpdateButton,
    ids::hiLimitNumeric,
    ids::loLimitNumeric,
    ids::pvOffsetNumeric,
    ids::swFilterNumeric,
    ids::optionUpdateButton,
};
// Only the 'D' model has the ramp and soft-start function.
constexpr CtrlId kModelD[] = {ids::rampRateNumeric, ids::softStartMajor, ids::softStartMinor,
                              ids::softStartUpdateButton};
constexpr CtrlId kModeDependent[] = {ids::outputLevelNumeric, ids::outputSetButton};

constexpr auto kAll = [] {
    std::array<CtrlId, std::size(kEveryModel) + std::size(kModelD) + std::size(kModeDependent)>
        all{};
    std::size_t i = 0;
    for (CtrlId c : kEveryModel)
        all[i++] = c;
    for (CtrlId c : kModelD)
        all[i++] = c;
    for (CtrlId c : kModeDependent)
        all[i++] = c;
    return all;
}();

void onLineEvent(Controller& c, LineEvent event, int) {
    if (event != LineEvent::disconnected && event != LineEvent::lost) return;
    const int p = MainPanel::handle;
    DimmedParmMenuFunction(c, 1);
    // Nobody is left to tell when tuning ends, or whether the output is on:
    // the lights go dark and dimmed, which reads as unknown.
    SetCtrlAttribute(p, ids::autoTuneTimer, ATTR_ENABLED, 0);
    SetCtrlVal(p, ids::autoTuneIndicator, 0);
    SetCtrlVal(p, ids::outputIndicator, 0);
}

} // namespace

std::span<const CtrlId> controllerControls() {
    return kAll;
}

void DimmedParmMenuFunction(Controller& c, uint16_t dimmed) {
    const int p = MainPanel::handle;
    auto dim = [p](CtrlId c, bool on) { SetCtrlAttribute(p, c, ATTR_DIMMED, on ? 1 : 0); };
    for (CtrlId c : kEveryModel)
        dim(c, dimmed);
    const bool modelD = c.controllerVariant() == 2;
    for (CtrlId c : kModelD)
        dim(c, dimmed || !modelD);
    // Dimmed for the model rather than for want of a connection, the group
    // says so where its Update button would be.
    const bool notThisModel = !dimmed && !modelD;
    SetCtrlAttribute(p, ids::modelDNote, ATTR_VISIBLE, notThisModel ? 1 : 0);
    SetCtrlAttribute(p, ids::softStartUpdateButton, ATTR_VISIBLE, notThisModel ? 0 : 1);
    if (dimmed)
        for (CtrlId c : kModeDependent)
            dim(c, true);
}

void dimWhenDisconnected(Controller& c) {
    // The observer goes with the line, which the controller's owner keeps.
    c.line().addLineObserver([&c](LineEvent e, int port) { onLineEvent(c, e, port); });
}
