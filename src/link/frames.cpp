#include "link/frames.h"

#include "link/crc.h"

void completeRequest(Frame& frame, uint16_t slaveId) {
    frame[0] = uint8_t(slaveId & 0xFF);
    const uint16_t crc = ModbusCalcCRC(frame.data(), 6);
    frame[6] = uint8_t(crc & 0xFF);
    frame[7] = uint8_t(crc >> 8);
}

void completeWrite(Frame& frame, uint16_t slaveId, int16_t value) {
    frame[4] = uint8_t(uint16_t(value) >> 8);
    frame[5] = uint8_t(uint16_t(value) & 0xFF);
    completeRequest(frame, slaveId);
}
