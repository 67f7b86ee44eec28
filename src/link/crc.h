#pragma once
#include <cstddef>
#include <cstdint>

// Modbus RTU CRC-16 (polynomial 0xA001 reflected, start 0xFFFF, no final XOR),
// bit by bit. Goes on the wire low byte first.
uint16_t crc16(const uint8_t* data, std::size_t length);

// The same, under the name the protocol's own description gives it.
inline uint16_t ModbusCalcCRC(const uint8_t* buffer, uint8_t length) {
    return crc16(buffer, length);
}

// True when the last two of count bytes are the CRC of the bytes before them.
bool crcMatches(const uint8_t* frame, std::size_t count);
