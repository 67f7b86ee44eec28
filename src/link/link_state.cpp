#include "link/link_state.h"

#include "link/transaction.h"

LinkState gLink;
TransactionState gTx;

void resetLinkState() {
    gLink = LinkState{};
    gTx.comBusy = 0;
    gTx.CRC = 0;
    gTx.CRCbuf[0] = gTx.CRCbuf[1] = 0;
    for (auto& b : gTx.writeEcho) b = 0;
    forgetLateAnswer();
}
