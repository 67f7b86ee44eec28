#include "link/register_write.h"

#include "link/link_state.h"
#include "link/transaction.h"
#include "runtime/panel_service.h"

#include <algorithm>
#include <cstring>

WriteOutcome writeRegister(uint16_t reg, int16_t value) {
    Frame frame = writeTemplate(reg);
    std::memset(gTx.writeEcho, 0, sizeof gTx.writeEcho);
    const Reply reply = exchangeWrite(frame, gLink.controllerId, value);
    std::memcpy(gTx.writeEcho, reply.bytes, sizeof gTx.writeEcho);
    if (reply.count == 0) return WriteOutcome::NoReply;
    if (reply.isException()) return WriteOutcome::Refused;
    if (reply.count == 8 && std::equal(frame.begin(), frame.end(), reply.bytes))
        return WriteOutcome::Confirmed;
    return WriteOutcome::Unconfirmed;
}

uint8_t refusalCode() {
    return gTx.writeEcho[2];
}

void reportWrite(WriteOutcome outcome, const std::string& what) {
    if (outcome == WriteOutcome::Refused)
        MessagePopup("Parameter Error",
                     "The return byte has shown error!\nPlease check your Hi/Lo Limit.");
    else if (outcome == WriteOutcome::Unconfirmed || outcome == WriteOutcome::NoReply)
        MessagePopup("No Confirmation",
                     "The controller did not confirm the change of " + what +
                         ".\nCheck the connection, then read the parameters to see what the "
                         "controller holds.");
}
