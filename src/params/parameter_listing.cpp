#include "params/parameter_listing.h"

#include "base/hex_text.h"
#include "link/registers.h"
#include "params/choice_codes.h"
#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "params/unit_labels.h"
#include "params/value_text.h"

#include <cstdio>
#include <vector>

namespace {

// One parameter as printed: its number (a value, a code or a count of time
// units) and its unit, and how a person reads it, with that reading's unit.
struct Shown {
    std::string number, text, unit;
    std::string textUnit = unit;
};

Shown shownTime(const ParmRecord& rec, int16_t word) {
    const int16_t timeUnit = rec.ptme;
    // The register counts the minor unit of the time unit in force.
    const bool seconds = timeUnit == 0, minutes = timeUnit == 1;
    return {std::to_string(word), timeWordText(splitTimeWord(word)),
            seconds   ? "s"
            : minutes ? "min"
                      : "",
            seconds   ? "MM:SS"
            : minutes ? "HH:MM"
                      : ""};
}

Shown shown(const Controller& c, uint16_t reg, const BulkReadResult& read) {
    const ParmRecord& rec = c.parmRecord;
    if (reg == reg::controlMode) {
        const int mode = codeOf(read.mode.value_or(ControlMode::off));
        return {std::to_string(mode), choiceText(choices::controlMode, mode), ""};
    }
    const ParmRegister& r = *findParmRegister(reg);
    switch (r.enc) {
    case Encoding::Scaled: {
        const std::string v = scaledText(c.scale(), rec.*r.real);
        // The SW filter averages readings; the ramp rate is in degrees per
        // the time unit in force, as the panel shows it; everything else
        // scaled is in degrees.
        if (reg == reg::swFilter) return {v, v, ""};
        const std::string degrees = temperatureUnit(rec.unitCF);
        return {v, v, reg == reg::rampRate ? degrees + perTimeUnit(rec.ptme) : degrees};
    }
    case Encoding::Tenths: {
        const std::string v = tenthsText(rec.*r.real);
        return {v, v, "%"};
    }
    case Encoding::TimeWord:
        return shownTime(rec, rec.*r.word);
    case Encoding::ByteChoice: {
        const int code = rec.*r.word;
        const ChoiceTable* table = choices::tableFor(reg);
        return {std::to_string(code), table ? choiceText(table->choices, code) : "", ""};
    }
    case Encoding::Word:
        break;
    }
    const std::string v = std::to_string(rec.*r.word);
    return {v, v, ""};
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

std::string parameterListingText(const Controller& c, const BulkReadResult& read) {
    std::string out;
    for (const RegisterName& l : registerNames()) {
        if (!l.key) continue;
        const Shown s = shown(c, l.reg, read);
        char line[160];
        std::snprintf(line, sizeof line, "%s  %-20s %s", hexWord(l.reg).c_str(), l.label,
                      s.text.c_str());
        out += line;
        if (!s.textUnit.empty()) out += ' ' + s.textUnit;
        out += '\n';
    }
    return out;
}

std::vector<ListedParameter> listParameters(const Controller& c, const BulkReadResult& read) {
    std::vector<ListedParameter> out;
    for (const RegisterName& l : registerNames()) {
        if (!l.key) continue;
        const Shown s = shown(c, l.reg, read);
        out.push_back({l.reg, l.key, l.label, s.number, s.text, s.unit});
    }
    return out;
}

std::string parameterListingJson(const Controller& c, const BulkReadResult& read) {
    const std::vector<ListedParameter> listed = listParameters(c, read);
    std::string out = "{\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const ListedParameter& p = listed[i];
        out += "  " + jsonString(p.key) + ": {\"register\": " + jsonString(hexWord(p.reg)) +
               ", \"name\": " + jsonString(p.name) + ", \"value\": " + p.number +
               ", \"text\": " + jsonString(p.text);
        if (!p.unit.empty()) out += ", \"unit\": " + jsonString(p.unit);
        out += i + 1 < listed.size() ? "},\n" : "}\n";
    }
    return out + "}\n";
}
