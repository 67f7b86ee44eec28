#include "params/value_text.h"

#include "base/number_text.h"
#include "params/params_state.h"

std::string parameterValueText(const ParmRegister& r, const ParmRecord& rec) {
    if (r.isReal())
        return formatFixed(rec.*(r.real),
                           scaleOf(r.enc, Scale::ofDecimalPoint(rec.decimalPoint)).digits());
    if (r.enc == Encoding::TimeWord) return timeWordText(splitTimeWord(rec.*(r.word)));
    const int code = rec.*(r.word);
    const ChoiceTable* table = choices::tableFor(r.reg);
    if (table && !choices::isValid(*table, code)) return choices::unknownText(code);
    return formatWhole(code);
}

std::string parameterShownText(uint16_t reg, const ParmRecord& rec, Scale scale) {
    const ParmRegister* r = findParmRegister(reg);
    if (!r) return "";
    // The scale in force, which the panel shows values in.
    if (r->isReal()) return formatFixed(rec.*(r->real), scaleOf(r->enc, scale).digits());
    if (const ChoiceTable* table = choices::tableFor(reg))
        for (const Choice& c : table->choices)
            if (c.code == rec.*(r->word)) return std::string(c.label);
    return parameterValueText(*r, rec);
}

std::string scaledText(Scale scale, int16_t word) {
    return formatFixed(scale.toValue(word), scale.digits());
}

std::string scaledText(Scale scale, float value) {
    return formatFixed(double(value), scale.digits());
}

std::string tenthsText(float value) {
    return formatFixed(double(value), 1);
}

std::string choiceText(std::span<const Choice> choices, int code) {
    for (const Choice& c : choices)
        if (c.code == code) return std::string(c.label);
    return choices::unknownText(code);
}

std::string temperatureUnit(int code) {
    return choiceText(choices::unit, code);
}
