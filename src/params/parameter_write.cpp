#include "params/parameter_write.h"

#include "params/params_state.h"
#include "params/record_words.h"
#include "params/register_map.h"

namespace {

void restoreField(ParmRecord& rec, const ParmRegister& r, const ParmRecord& before) {
    if (r.isReal())
        rec.*(r.real) = before.*(r.real);
    else
        rec.*(r.word) = before.*(r.word);
}

} // namespace

Outcome writeParameter(Transfer& transfer, uint16_t reg, const ParmRecord& before) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return Outcome{};
    Controller& c = transfer.controller();
    const std::optional<int16_t> word = recordWord(c, reg);
    // The entries' limits keep out a value its register cannot hold; none
    // goes out wrapped into another.
    if (!word) {
        restoreField(c.parmRecord, *r, before);
        return Outcome{};
    }
    const uint16_t sent = uint16_t(*word);
    const Outcome outcome = transfer.write(reg, sent);
    if (outcome.ok()) {
        // The record keeps what the controller now holds, not the typed
        // digits it was rounded from: a backup saved next must say 124, not
        // 123.6, of a controller with no decimal place.
        storeWord(c, reg, sent);
        return outcome;
    }
    restoreField(c.parmRecord, *r, before);
    if (outcome.refused()) return outcome;
    if (const auto word = readBack(transfer, reg)) storeWord(c, reg, *word);
    return outcome;
}

std::optional<uint16_t> readBack(Transfer& transfer, uint16_t reg) {
    const Outcome back = transfer.read(reg);
    if (!back.ok()) return std::nullopt;
    return back.words[0];
}
