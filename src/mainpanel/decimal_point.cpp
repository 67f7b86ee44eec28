#include "mainpanel/decimal_point.h"

#include "link/registers.h"
#include "mainpanel/ids/main_panel.h"
#include "panelkit/panel_service.h"
#include "params/params_state.h"

void AdjDecimal(Controller& c) {
    applyDecimalScale(c);
    const int digits = c.scale().digits();
    // The limits keep whatever is entered within the 16 bits of its register.
    const auto [low, high] = temperatureLimits(c);
    // Every control that shows a temperature says so in its panel file, so a
    // panel that gains one needs no change here.
    for (const auto& [panel, control] : GetMarkedControls(kTemperatureMark)) {
        SetCtrlAttribute(panel, control, ATTR_PRECISION, digits);
        SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, low);
        SetCtrlAttribute(panel, control, ATTR_MAX_VALUE, high);
    }
    for (const auto& [panel, control] : GetMarkedControls(kNeverNegativeMark))
        SetCtrlAttribute(panel, control, ATTR_MIN_VALUE, 0.0);
    applySetValueLimits(c);
}

void applySetValueLimits(Controller& c) {
    const auto [low, high] = setValueLimits(c);
    SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_MIN_VALUE, low);
    SetCtrlAttribute(MainPanel::handle, MainPanel::svEntry, ATTR_MAX_VALUE, high);
}
