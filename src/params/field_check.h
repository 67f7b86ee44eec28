#pragma once
// Whether a value read from a file can go to its register as it is: nothing
// masked to a byte, wrapped past 16 bits or outside the range the controller
// documents. A code that fits but that no table knows is told apart: it is
// sent only when the operator says so.
#include "params/register_map.h"

#include <cstddef>
#include <string>
#include <string_view>

enum class FieldFit { fits, unknownCode, outside };

struct FieldVerdict {
    FieldFit fit = FieldFit::fits;
    // What is wrong, to follow the value in a message: "does not fit its
    // register: Sensor type (0x001C) holds one byte, 0 to 255", or for an
    // unknown code "Sensor type (0x001C): 99 (unknown)".
    std::string why;
};

// value: engineering units for the scaled and tenths fields, whose fit in
// 16 bits depends on the scale they are sent with and is the caller's (see
// realFitsRegister); a whole number for the others. name: the register as
// messages call it.
FieldVerdict checkField(const RegisterField& field, double value, const std::string& name);

// Where a token of a file's text stands, for messages: "line 2, field 21".
// token must view into text; unit names what the file counts ("field").
std::string fileSpot(std::string_view text, std::string_view token, const char* unit,
                     std::size_t index);
