#pragma once
// The parameter registers: address, encoding, record field, what each
// field takes, and which bulk transfer carries each. Every transfer walks
// these tables, and every value from a file is checked against them.
#include "link/parm_record.h"
#include "params/choice_codes.h"
#include "params/encodings.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

// The values a field takes where the controller documents a range, in the
// units files and entries hold (degrees, percent, seconds, codes). The
// encoding bounds every field besides: 16 bits, or one byte for a choice.
struct FieldRange {
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
};

struct ParmRegister {
    uint16_t reg;
    Encoding enc;
    float ParmRecord::*real = nullptr;   // set for scaled and tenths registers
    int16_t ParmRecord::*word = nullptr; // set for the integer encodings
    FieldRange range{};
    bool isReal() const { return real != nullptr; }
};

// What a register's field holds: its encoding, its range and, for a choice,
// the codes the program knows (empty: any value in range means something).
struct RegisterField {
    Encoding enc;
    FieldRange range;
    std::span<const Choice> codes;
};

// The field of a parameter or step program register; nothing for any other.
std::optional<RegisterField> registerField(uint16_t reg);

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

// A register's names: as the panels and messages give it ("SV"), and the key
// a script finds it by in the parameter listing ("sv"; none for a register
// the listing leaves out).
struct RegisterName {
    uint16_t reg;
    const char* label;
    const char* key;
};
// Every named register, in register order.
std::span<const RegisterName> registerNames();

// What the operator calls the register, for messages: "SV (0x0000)".
std::string parmRegisterName(uint16_t reg);
// One indented line per register, "    SV (0x0000)\n", for messages.
std::string parmRegisterLines(std::span<const uint16_t> regs);
// The name alone: "SV"; "Register 0x0010" for a register without one.
std::string parmRegisterLabel(uint16_t reg);
