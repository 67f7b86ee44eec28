#include "mainpanel/unit_view.h"

#include "panelkit/panel_service.h"
#include "params/unit_labels.h"

namespace {

void applySuffix(const char* mark, const std::string& suffix) {
    for (const auto& [panel, control] : GetMarkedControls(mark))
        SetCtrlSuffix(panel, control, suffix);
}

} // namespace

void showUnits() {
    applySuffix(kDegreesMark, degreesSuffix());
    applySuffix(kDegreeRateMark, degreeRateSuffix());
}
