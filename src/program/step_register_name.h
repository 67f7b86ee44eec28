#pragma once
#include <cstdint>
#include <string>
#include <vector>

// "0x0034 (step 0 set value)", for messages.
std::string stepRegisterName(uint16_t reg);
// Each register's name, in order.
std::vector<std::string> stepRegisterNames(const std::vector<uint16_t>& regs);
