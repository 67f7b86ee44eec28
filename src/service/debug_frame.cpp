#include "service/debug_frame.h"

#include "link/crc.h"
#include "link/frames.h"
#include "link/link_state.h"
#include "link/transaction.h"
#include "params/params_state.h"
#include "runtime/clock.h"
#include "runtime/ids/debug_panel.h"
#include "runtime/panel_handles.h"
#include "runtime/serial_service.h"
#include "service/debug_reply.h"

namespace {

uint8_t entryByte(CtrlId entry) {
    int v = 0;
    GetCtrlVal(gPanels.debug, entry, &v);
    return uint8_t(v & 0xFF);
}

void show(CtrlId display, int value) {
    SetCtrlVal(gPanels.debug, display, value);
}

void dimValueBytes(bool dimmed) {
    for (CtrlId c : {DebugPanel::data1Entry, DebugPanel::data2Entry, DebugPanel::replyRegLow})
        SetCtrlAttribute(gPanels.debug, c, ATTR_DIMMED, dimmed ? 1 : 0);
}

// Reads what the controller sends, up to count bytes. An exception reply is
// whole at five bytes; waiting for more would only cost the time-out.
int readReply(uint8_t* reply, int count) {
    const int port = gLink.comPort;
    const auto deadline = lineClock().now() + comTimeout(port);
    int got = ComRdUntil(port, reply, 5, deadline);
    if (got < 5 || ((reply[1] & 0x80) && crcMatches(reply, 5))) return got;
    return got + ComRdUntil(port, reply + 5, count - 5, deadline);
}

} // namespace

int OpenDebugPanel(int, CtrlId, int event) {
    if (event == EVENT_COMMIT)
        DisplayPanel(gPanels.debug);
    else if (event == EVENT_RIGHT_CLICK)
        MessagePopup("<Debug> Help", "Debug panel does not open for user level.");
    return 0;
}

int QuitDebug(int, CtrlId, int event) {
    if (event == EVENT_COMMIT) HidePanel(gPanels.debug);
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

int WrtOn(int, CtrlId, int event) {
    if (event != EVENT_COMMIT) return 0;
    preparation(0.03);
    int id = 0;
    GetCtrlVal(gPanels.debug, DebugPanel::idEntry, &id);
    // The panel's address becomes the controller's for everything after.
    gLink.controllerId = uint16_t(id);
    const uint8_t function = entryByte(DebugPanel::functionEntry);
    Frame request = {uint8_t(gLink.controllerId & 0xFF),
                     function,
                     entryByte(DebugPanel::regHighEntry),
                     entryByte(DebugPanel::regLowEntry),
                     entryByte(DebugPanel::data1Entry),
                     entryByte(DebugPanel::data2Entry),
                     0,
                     0};
    ModbusCalcCRC(request.data(), 6);
    request[6] = gTx.CRCbuf[0];
    request[7] = gTx.CRCbuf[1];
    show(DebugPanel::requestCrcLow, request[6]);
    show(DebugPanel::requestCrcHigh, request[7]);

    Delay(0.01);
    ComWrt(gLink.comPort, request.data(), int(request.size()));
    Delay(0.03);
    const bool write = function == kFnWriteSingle;
    // Bytes that do not arrive show as 0; the engineer judges the rest.
    uint8_t reply[8] = {};
    readReply(reply, write ? 8 : 7);

    const DebugReplyView v = decodeDebugReply(reply, write, gParams.dpDivisor);
    show(DebugPanel::replyAddress, v.address);
    show(DebugPanel::replyFunction, v.function);
    show(DebugPanel::replyByte2, v.byte2);
    if (write) show(DebugPanel::replyRegLow, v.regLow);
    SetCtrlAttribute(gPanels.debug, DebugPanel::replyRegLow, ATTR_DIMMED, write ? 0 : 1);
    show(DebugPanel::replyDataHigh, v.dataHigh);
    show(DebugPanel::replyDataLow, v.dataLow);
    show(DebugPanel::replyCrcLow, v.crcLow);
    show(DebugPanel::replyCrcHigh, v.crcHigh);
    // The value reads like a temperature register: a digit after the point
    // only when the decimal point is on.
    SetCtrlAttribute(gPanels.debug, DebugPanel::replyValue, ATTR_PRECISION,
                     gParams.dpDivisor > 1.0f ? 1 : 0);
    SetCtrlVal(gPanels.debug, DebugPanel::replyValue, v.value);
    // The shared CRC holds the check as it always has.
    const int data = write ? 4 : 3;
    ModbusCalcCRC(reply, uint8_t(data + 2));
    show(DebugPanel::checkCrcLow, v.checkCrcLow);
    show(DebugPanel::checkCrcHigh, v.checkCrcHigh);
    return 0;
}
