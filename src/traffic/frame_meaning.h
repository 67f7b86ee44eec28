#pragma once
// What a frame means, in the program's own words: the register by the name
// the panels give it and the value as the panels would show it, scaled by
// the decimal point the program holds at that moment.
//   "read 0x1000 PV"            "read 0x1000 PV → 23.7"
//   "write 0x0000 SV 25.0"      "write 0x0000 SV 25.0 → confirmed"
//   "read 0x0011..0x001B"       "write 0x0000 SV 2000.0 → exception 03 (illegal data value)"
#include "link/frame_observers.h"
#include "link/scale.h"

#include <string>

std::string requestMeaning(Scale scale, const Frame& request);
// The request's meaning, an arrow and what came of it.
std::string exchangeMeaning(Scale scale, const FrameRecord& record);
// "exception 03 (illegal data value)"; the code alone for one Modbus does not name.
std::string exceptionMeaning(uint8_t code);
