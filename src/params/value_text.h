#pragma once
// A parameter's record value as messages show it.
#include "link/parm_record.h"
#include "link/scale.h"
#include "params/register_map.h"

#include <cstdint>
#include <string>

// "30.0", "2:05", a choice as its code ("1"), a code no table has as
// "99 (unknown)": what a comparison of two records lists.
std::string parameterValueText(const ParmRegister& r, const ParmRecord& rec);
// As the panel shows it: a real with the decimal point in force, a known
// choice as its label ("Rev").
std::string parameterShownText(uint16_t reg, const ParmRecord& rec, Scale scale);
