#include "service/debug_frame.h"

#include "link/frames.h"
#include "link/transaction.h"
#include "link/transfer.h"
#include "mainpanel/ids/main_panel.h"
#include "mainpanel/main_panel_view.h"
#include "params/params_state.h"
#include "service/debug_reply.h"
#include "service/ids/debug_panel.h"

#include <algorithm>
#include <optional>

namespace {

uint8_t entryByte(CtrlId entry) {
    int v = 0;
    GetCtrlVal(DebugPanel::handle, entry, &v);
    return uint8_t(v & 0xFF);
}

void show(CtrlId display, int value) {
    SetCtrlVal(DebugPanel::handle, display, value);
}

// A place of the reply that nothing arrived for shows nothing.
template <class T> void show(CtrlId display, const std::optional<T>& value) {
    if (value)
        SetCtrlVal(DebugPanel::handle, display, *value);
    else
        ClearCtrlVal(DebugPanel::handle, display);
}

void dimValueBytes(bool dimmed) {
    for (CtrlId c : {DebugPanel::data1Entry, DebugPanel::data2Entry, DebugPanel::replyRegLow})
        SetCtrlAttribute(DebugPanel::handle, c, ATTR_DIMMED, dimmed ? 1 : 0);
}

} // namespace

int OpenDebugPanel(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        DisplayPanel(DebugPanel::handle);
    else if (event == EVENT_RIGHT_CLICK)
        MessagePopup("<Debug> Help", "Debug panel does not open for user level.");
    return 0;
}

int QuitDebug(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(DebugPanel::handle);
    return 0;
}

int CheckFunc(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const uint8_t function = entryByte(DebugPanel::functionEntry);
    // A read asks for one register; a write leaves the value to the engineer.
    const bool read = function == kFnReadHolding || function == kFnReadInput;
    if (!read && function != kFnWriteSingle) return 0;
    show(DebugPanel::regHighEntry, 0);
    show(DebugPanel::data1Entry, 0);
    show(DebugPanel::data2Entry, read ? 1 : 0);
    dimValueBytes(read);
    return 0;
}

int WrtOn(Controller& c, int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    const Transaction t(c.line(), settle::poll);
    int id = 0;
    GetCtrlVal(DebugPanel::handle, DebugPanel::idEntry, &id);
    // The panel's address becomes the controller's for everything after,
    // and the main panel's ID says so.
    c.setControllerId(uint16_t(id));
    MainPanelView::showId(id);
    const uint8_t function = entryByte(DebugPanel::functionEntry);
    Frame request = {0,
                     function,
                     entryByte(DebugPanel::regHighEntry),
                     entryByte(DebugPanel::regLowEntry),
                     entryByte(DebugPanel::data1Entry),
                     entryByte(DebugPanel::data2Entry),
                     0,
                     0};
    completeRequest(request, c.controllerId());
    show(DebugPanel::requestCrcLow, request[6]);
    show(DebugPanel::requestCrcHigh, request[7]);

    const bool write = function == kFnWriteSingle;
    const int expected = write ? 8 : 7;
    const RawReply raw = [&] {
        const Transaction pause(c.line(), settle::rawPause);
        return rawExchange(c, request, expected);
    }();
    uint8_t reply[8] = {};
    std::copy(raw.bytes, raw.bytes + sizeof reply, reply);
    const int count = std::min(raw.count, int(sizeof reply));

    const DebugReplyView v = decodeDebugReply(reply, count, write, raw.exceptionFrame, c.scale());
    show(DebugPanel::replyAddress, v.address);
    show(DebugPanel::replyFunction, v.function);
    show(DebugPanel::replyByte2, v.byte2);
    show(DebugPanel::replyRegLow, v.regLow);
    SetCtrlAttribute(DebugPanel::handle, DebugPanel::replyRegLow, ATTR_DIMMED, write ? 0 : 1);
    show(DebugPanel::replyDataHigh, v.dataHigh);
    show(DebugPanel::replyDataLow, v.dataLow);
    show(DebugPanel::replyCrcLow, v.crcLow);
    show(DebugPanel::replyCrcHigh, v.crcHigh);
    // The value reads like a temperature register: a digit after the point
    // only when the decimal point is on.
    SetCtrlAttribute(DebugPanel::handle, DebugPanel::replyValue, ATTR_PRECISION,
                     c.scale().digits());
    show(DebugPanel::replyValue, v.value);
    show(DebugPanel::checkCrcLow, v.checkCrcLow);
    show(DebugPanel::checkCrcHigh, v.checkCrcHigh);
    SetCtrlVal(DebugPanel::handle, DebugPanel::replyStatus,
               debugReplyStatus(count, expected, raw.exceptionFrame, raw.verdict, reply));
    return 0;
}
