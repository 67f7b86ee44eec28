#include "params/restore_preview.h"

#include "base/number_text.h"
#include "link/registers.h"
#include "params/encodings.h"
#include "params/register_map.h"
#include "params/value_text.h"


namespace {

// The scale a real register has under the record's decimal point.
Scale scaleIn(const ParmRegister& r, const ParmRecord& rec) {
    return scaleOf(r.enc, Scale::ofDecimalPoint(rec.decimalPoint));
}
int decimals(const ParmRegister& r, const ParmRecord& rec) {
    return scaleIn(r, rec).digits();
}

// The register value the controller would hold for the record's field, with
// the record's own decimal point. Both records were checked against their
// registers, a file's as it was read.
long long heldValue(const ParmRegister& r, const ParmRecord& rec) {
    if (!r.isReal()) return rec.*(r.word);
    return scaleIn(r, rec).toWord(double(rec.*(r.real))).value_or(0);
}

bool sameValue(const ParmRegister& r, const ParmRecord& a, const ParmRecord& b) {
    if (!r.isReal()) return a.*(r.word) == b.*(r.word);
    // 25 with no decimal place and 25.0 with one are the same temperature.
    const int da = decimals(r, a), db = decimals(r, b);
    const long long va = heldValue(r, a), vb = heldValue(r, b);
    return da == db ? va == vb : va * (db > da ? 10 : 1) == vb * (da > db ? 10 : 1);
}

} // namespace

RestorePreview previewRestore(const ParmRecord& panel, const std::bitset<64>& held,
                              const ParmRecord& file) {
    RestorePreview preview;
    for (uint16_t reg : bulkWriteOrder()) {
        const ParmRegister* r = findParmRegister(reg);
        if (!r) continue;
        if (reg >= held.size() || !held.test(reg))
            preview.unread.push_back(reg);
        else if (sameValue(*r, panel, file))
            ++preview.unchanged;
        else
            preview.changes.push_back({reg, parameterValueText(*r, panel), parameterValueText(*r, file)});
    }
    return preview;
}

std::string changeLines(const RestorePreview& preview) {
    std::string out;
    for (const RestoreChange& c : preview.changes)
        out += "    " + parmRegisterName(c.reg) + ": " + c.was + " \u2192 " + c.becomes + "\n";
    return out;
}

std::string unreadNames(const RestorePreview& preview) {
    std::string out;
    for (uint16_t reg : preview.unread)
        out += (out.empty() ? "" : ", ") + parmRegisterName(reg);
    return out;
}
