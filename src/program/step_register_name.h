#pragma once
#include <cstdint>
#include <string>

// "0x0034 (step 0 set value)", for messages.
std::string stepRegisterName(uint16_t reg);
