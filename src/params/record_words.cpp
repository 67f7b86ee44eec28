#include "params/record_words.h"

#include "params/params_state.h"
#include "params/register_map.h"

std::optional<int16_t> recordWord(const Controller& c, uint16_t reg) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return std::nullopt;
    const ParmRecord& rec = c.parmRecord;
    if (r->isReal()) return encodeReal(r->enc, rec.*(r->real), c.scale());
    return encodeInt(r->enc, rec.*(r->word));
}

void storeWord(Controller& c, uint16_t reg, uint16_t word) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return;
    const uint8_t high = uint8_t(word >> 8), low = uint8_t(word & 0xFF);
    ParmRecord& rec = c.parmRecord;
    if (r->isReal())
        rec.*(r->real) = decodeReal(r->enc, high, low, c.scale());
    else
        rec.*(r->word) = decodeInt(r->enc, high, low);
    c.noteHeld(reg);
}
