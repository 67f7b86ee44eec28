#pragma once
// Register addresses, words and bytes in hex, the one way every message,
// listing and trace writes them.
#include <cstdint>
#include <string>
#include <vector>

// "0x0021": a register address or a 16-bit word.
std::string hexWord(uint16_t word);
// "0A": one byte, two upper-case digits.
std::string hexByte(uint8_t byte);
// "01 03 10 00": bytes with a space between.
std::string hexBytes(const std::vector<uint8_t>& bytes);
