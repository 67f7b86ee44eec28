#include "service/debug_converter.h"

#include "params/params_state.h"
#include "service/ids/debug_panel.h"

#include <cstdint>

namespace {

// The hex entry holds the register's 16 bits (0 to 0xFFFF), so a negative
// value reads the way it goes on the wire: -200 is 0xFF38.
uint16_t hexEntryBits() {
    int v = 0;
    GetCtrlVal(DebugPanel::handle, DebugPanel::hexEntry, &v);
    return uint16_t(v);
}

} // namespace

int DecToHexConv(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    double value = 0;
    GetCtrlVal(DebugPanel::handle, DebugPanel::decimalEntry, &value);
    // A value no temperature register holds has no bits to show: shown
    // wrapped, they would convert back to another value.
    if (const auto word = c.scale().toWord(value))
        SetCtrlVal(DebugPanel::handle, DebugPanel::hexEntry, int(uint16_t(*word)));
    else
        ClearCtrlVal(DebugPanel::handle, DebugPanel::hexEntry);
    return 0;
}

int HexToDecConv(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const double value = c.scale().toValue(int16_t(hexEntryBits()));
    SetCtrlVal(DebugPanel::handle, DebugPanel::decimalEntry, value);
    return 0;
}

int DebugPorting(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) {
        const uint16_t bits = hexEntryBits();
        SetCtrlVal(DebugPanel::handle, DebugPanel::data1Entry, int(bits >> 8));
        SetCtrlVal(DebugPanel::handle, DebugPanel::data2Entry, int(bits & 0xFF));
    } else if (event == EVENT_RIGHT_CLICK) {
        MessagePopup("<Debug Porting> Help",
                     "Port Hex Number to the Send Byte Array Data1&Data2\n");
    }
    return 0;
}
