#pragma once
// One-register reads of the live values and the status word.
#include <cstdint>
#include <optional>

class Controller;

// PV in engineering units, or no value when the controller gave no valid
// reply; callers keep what they showed before rather than invent a reading.
std::optional<float> ReadPVPVOF(Controller& c);
// SV as the controller reports it; a value read also becomes the record's sv.
std::optional<float> ReadSVSVOF(Controller& c);
// Guarded read of the status word; the raw word when a full reply came.
std::optional<uint16_t> ChkAlarmStatus(Controller& c);
