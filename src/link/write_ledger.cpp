#include "link/write_ledger.h"

#include <cctype>

void WriteLedger::plan(uint16_t reg) {
    entries_.push_back({reg, Fate::notSent});
}

void WriteLedger::note(uint16_t reg, const Outcome& outcome) {
    for (Entry& e : entries_) {
        if (e.reg != reg || e.fate != Fate::notSent) continue;
        e.fate = outcome.ok()        ? Fate::confirmed
                 : outcome.refused() ? Fate::refused
                                     : Fate::unconfirmed;
        return;
    }
}

std::vector<uint16_t> WriteLedger::registers(Fate fate) const {
    std::vector<uint16_t> regs;
    for (const Entry& e : entries_)
        if (e.fate == fate) regs.push_back(e.reg);
    return regs;
}

std::string WriteLedger::inlineText(const Namer& name) const {
    return text(name, false);
}

std::string WriteLedger::listText(const Namer& name) const {
    return text(name, true);
}

std::string WriteLedger::text(const Namer& name, bool lines) const {
    static constexpr struct {
        Fate fate;
        const char* label;
    } kGroups[] = {{Fate::confirmed, "confirmed"},
                   {Fate::refused, "refused"},
                   {Fate::unconfirmed, "sent without confirmation"},
                   {Fate::notSent, "never sent"}};
    std::string out;
    for (const auto& group : kGroups) {
        std::string names;
        for (uint16_t reg : registers(group.fate))
            names += (names.empty() ? "" : ", ") + name(reg);
        if (names.empty()) continue;
        std::string label = group.label;
        if (lines) label[0] = char(std::toupper(static_cast<unsigned char>(label[0])));
        if (!out.empty()) out += lines ? "\n" : "; ";
        out += label + ": " + names + (lines ? "." : "");
    }
    return out;
}
