#include "link/frames.h"

#include "link/session.h"

void completeRequest(Frame& frame, uint16_t slaveId) {
    frame[0] = uint8_t(slaveId & 0xFF);
    ModbusCalcCRC(frame.data(), 6);
    const auto crc = session().crcBytes();
    frame[6] = crc[0];
    frame[7] = crc[1];
}

void completeWrite(Frame& frame, uint16_t slaveId, int16_t value) {
    frame[4] = uint8_t(uint16_t(value) >> 8);
    frame[5] = uint8_t(uint16_t(value) & 0xFF);
    completeRequest(frame, slaveId);
}
