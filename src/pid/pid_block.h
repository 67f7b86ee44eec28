#pragma once
// The PID block: eleven holding registers from reg::pidFirst, each with its
// record field and its encoding.
#include "link/parm_record.h"
#include "link/registers.h"
#include "params/encodings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct PidField {
    uint16_t reg;
    Encoding encoding;         // Tenths, Scaled or Word
    float ParmRecord::*real;   // set for Tenths and Scaled
    int16_t ParmRecord::*word; // set for Word
    const char* label;         // how messages name it
};

inline constexpr int kPidRegisterCount = reg::pidCount;

const std::array<PidField, kPidRegisterCount>& pidFields();

// The register form of a field's record value (nothing when its register
// cannot hold it), and back.
std::optional<int16_t> pidRegisterValue(const PidField& f, const ParmRecord& record,
                                        Scale decimalPoint);
void setPidFromRegister(const PidField& f, ParmRecord& record, int16_t reg, Scale decimalPoint);

// Labels of the fields whose value its register cannot take, as the register
// map says: past 16 bits, or outside the field's range ("" when all fit);
// such a block must not be sent.
std::string pidMisfits(const ParmRecord& record, Scale decimalPoint);
