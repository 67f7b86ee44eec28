#include "link/crc.h"

uint16_t crc16(const uint8_t* data, std::size_t length) {
    uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool carry = crc & 1;
            crc >>= 1;
            if (carry) crc ^= 0xA001;
        }
    }
    return crc;
}

bool crcMatches(const uint8_t* frame, std::size_t count) {
    if (count < 3) return false;
    const uint16_t crc = crc16(frame, count - 2);
    return frame[count - 2] == (crc & 0xFF) && frame[count - 1] == (crc >> 8);
}
