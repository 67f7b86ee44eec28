#include "mainpanel/unit_view.h"

#include "panelkit/panel_service.h"
#include "params/unit_labels.h"

namespace {

void applySuffix(const char* mark, const std::string& suffix) {
    for (const auto& [panel, control] : GetMarkedControls(mark))
        SetCtrlSuffix(panel, control, suffix);
}

// A heading keeps its words; only the unit in brackets after them changes.
void applyHeadingUnit(const char* mark, const std::string& suffix) {
    for (const auto& [panel, control] : GetMarkedControls(mark)) {
        std::string heading;
        GetCtrlVal(panel, control, &heading);
        heading = heading.substr(0, heading.find(" ("));
        SetCtrlVal(panel, control, heading + suffix);
    }
}

} // namespace

void showUnits(Controller& c) {
    applySuffix(kDegreesMark, degreesSuffix(c));
    applySuffix(kDegreeRateMark, degreeRateSuffix(c));
    applyHeadingUnit(kTimeUnitMark, timeUnitSuffix(c));
}
