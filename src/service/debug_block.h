#pragma once
// The debug panel's block read: up to 16 registers from the request's
// register in one read, each shown with its name from the register table.
#include "panelkit/panel_service.h"

#include <cstdint>
#include <string>

class Controller;

inline constexpr int kMaxBlockRegisters = 16;

// "0x0024  Hi limit            4000  (0x0FA0)  400.0": the register, its
// name, the word as a signed number and in hex and, for a register the
// record scales, the value it stands for under the decimal point in force.
std::string blockLine(Controller& c, uint16_t reg, uint16_t word);

int ReadBlock(Controller& c, int panel, CtrlId control, int event);
