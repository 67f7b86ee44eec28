#pragma once
#include <atomic>
#include <cstdint>

// Connection state, owned by start-up and connection.
struct LinkState {
    uint16_t controllerId = 1;
    uint16_t comPort = 0;
    // Kept wider than the 16 bits the line settings file historically held:
    // 57600 and 115200 must survive a save and a restore.
    int32_t baudRate = 19200;
    uint16_t linkUp = 0;
    int32_t portStatus = 0;
    uint16_t controllerVariant = 0;
};
extern LinkState gLink;

// Shared transaction state: the busy guard, the last CRC and the write echo.
struct TransactionState {
    std::atomic<int32_t> comBusy{0};
    uint32_t CRC = 0;
    uint8_t CRCbuf[2] = {0, 0};
    uint8_t writeEcho[8] = {};
};
extern TransactionState gTx;

void resetLinkState();
