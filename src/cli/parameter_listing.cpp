#include "cli/parameter_listing.h"

#include "cli/value_text.h"
#include "link/registers.h"
#include "params/choice_codes.h"
#include "params/encodings.h"
#include "params/params_state.h"
#include "params/register_map.h"

#include <cstdio>
#include <vector>

namespace {

// The keys a script finds each parameter by; in register order, which is how
// they are listed.
struct Listed {
    uint16_t reg;
    const char* key;
};

constexpr Listed kListed[] = {
    {reg::setValue, "sv"},
    {reg::pvOffset, "pv_offset"},
    {reg::outputLevel, "output_level"},
    {reg::controlMode, "mode"},
    {reg::a1SetPoint, "alarm1_set_point"},
    {reg::a1Hysteresis, "alarm1_hysteresis"},
    {reg::a1Function, "alarm1_function"},
    {reg::a1Mode, "alarm1_mode"},
    {reg::a1DelayTime, "alarm1_delay"},
    {reg::a2SetPoint, "alarm2_set_point"},
    {reg::a2Hysteresis, "alarm2_hysteresis"},
    {reg::a2Function, "alarm2_function"},
    {reg::a2Mode, "alarm2_mode"},
    {reg::a2DelayTime, "alarm2_delay"},
    {reg::rampRate, "ramp_rate"},
    {reg::softStartTime, "soft_start_time"},
    {reg::sensorType, "sensor_type"},
    {reg::unitCF, "unit"},
    {reg::decimalPoint, "decimal_point"},
    {reg::dirRev, "action"},
    {reg::loLimit, "lo_limit"},
    {reg::hiLimit, "hi_limit"},
    {reg::timeUnit, "time_unit"},
    {reg::erop, "erop"},
    {reg::keyLock, "lock"},
    {reg::swFilter, "sw_filter"},
};
static_assert(std::size(kListed) == 26);

// One parameter as printed: its number (a value, a code or a count of time
// units) and its unit, and how a person reads it, with that reading's unit.
struct Shown {
    std::string number, text, unit;
    std::string textUnit = unit;
};

Shown shownTime(int16_t word) {
    const int16_t timeUnit = gParams.parmRecord.ptme;
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

Shown shown(uint16_t reg, const BulkReadResult& read) {
    const ParmRecord& rec = gParams.parmRecord;
    if (reg == reg::controlMode) {
        const int mode = read.mode.value_or(0);
        return {std::to_string(mode), choiceText(choices::controlMode, mode), ""};
    }
    const ParmRegister& r = *findParmRegister(reg);
    switch (r.enc) {
    case Encoding::Scaled: {
        const std::string v = scaledText(rec.*r.real);
        // The SW filter averages readings; everything else scaled is in degrees.
        return {v, v, reg == reg::swFilter ? "" : temperatureUnit(rec.unitCF)};
    }
    case Encoding::Tenths: {
        const std::string v = tenthsText(rec.*r.real);
        return {v, v, "%"};
    }
    case Encoding::TimeWord:
        return shownTime(rec.*r.word);
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

std::string hex(uint16_t reg) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", reg);
    return text;
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

std::string parameterListingText(const BulkReadResult& read) {
    std::string out;
    for (const Listed& l : kListed) {
        const Shown s = shown(l.reg, read);
        char line[160];
        std::snprintf(line, sizeof line, "%s  %-20s %s", hex(l.reg).c_str(),
                      parmRegisterLabel(l.reg).c_str(), s.text.c_str());
        out += line;
        if (!s.textUnit.empty()) out += ' ' + s.textUnit;
        out += '\n';
    }
    return out;
}

std::vector<ListedParameter> listParameters(const BulkReadResult& read) {
    std::vector<ListedParameter> out;
    for (const Listed& l : kListed) {
        const Shown s = shown(l.reg, read);
        out.push_back({l.reg, l.key, parmRegisterLabel(l.reg), s.number, s.text, s.unit});
    }
    return out;
}

std::string parameterListingJson(const BulkReadResult& read) {
    const std::vector<ListedParameter> listed = listParameters(read);
    std::string out = "{\n";
    for (std::size_t i = 0; i < listed.size(); ++i) {
        const ListedParameter& p = listed[i];
        out += "  " + jsonString(p.key) + ": {\"register\": " + jsonString(hex(p.reg)) +
               ", \"name\": " + jsonString(p.name) + ", \"value\": " + p.number +
               ", \"text\": " + jsonString(p.text);
        if (!p.unit.empty()) out += ", \"unit\": " + jsonString(p.unit);
        out += i + 1 < listed.size() ? "},\n" : "}\n";
    }
    return out + "}\n";
}
