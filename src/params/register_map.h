#pragma once
// The parameter registers: address, encoding, record field, and which bulk
// transfer carries each. Every transfer walks these tables.
#include "params/encodings.h"
#include "params/parm_record.h"

#include <cstdint>
#include <span>
#include <string>

struct ParmRegister {
    uint16_t reg;
    Encoding enc;
    float ParmRecord::*real = nullptr;   // set for scaled and tenths registers
    int16_t ParmRecord::*word = nullptr; // set for the integer encodings
    bool isReal() const { return real != nullptr; }
};

// Every register the record covers, in register order.
std::span<const ParmRegister> parmRegisters();
// The register's entry; nullptr for registers outside the record (the
// control mode and unused ones).
const ParmRegister* findParmRegister(uint16_t reg);

// Registers of the bulk read, in the order they are read (the control mode
// is read at step 17 but is not in the record).
std::span<const uint16_t> bulkReadOrder();
// Registers of the bulk write, in the order they are written.
std::span<const uint16_t> bulkWriteOrder();

// What the operator calls the register, for messages: "SV (0x0000)".
std::string parmRegisterName(uint16_t reg);
// One indented line per register, "    SV (0x0000)\n", for messages.
std::string parmRegisterLines(std::span<const uint16_t> regs);
// The name alone: "SV"; "Register 0x0010" for a register without one.
std::string parmRegisterLabel(uint16_t reg);
