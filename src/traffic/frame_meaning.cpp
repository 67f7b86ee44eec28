#include "traffic/frame_meaning.h"

#include "base/hex_text.h"
#include "base/number_text.h"
#include "link/reply_judge.h"
#include "params/params_state.h"
#include "params/register_map.h"
#include "traffic/frame_verdict.h"

namespace {

// A block read lists this many values; the rest is in the bytes.
constexpr int kListedValues = 8;

// The live registers are outside the parameter record; the rest are named by it.
std::string registerLabel(uint16_t reg) {
    switch (reg) {
    case reg::pv:
        return "PV";
    case reg::svRead:
        return "SV";
    case reg::status:
        return "Status";
    case reg::identification:
        return "Identification";
    }
    const std::string name = parmRegisterName(reg);
    if (name.rfind("Register ", 0) == 0) return "";
    return name.substr(0, name.rfind(" ("));
}

bool isTemperature(uint16_t reg) {
    return reg == reg::pv || reg == reg::svRead;
}

std::string valueText(Scale scale, uint16_t reg, uint16_t word) {
    const auto high = uint8_t(word >> 8), low = uint8_t(word & 0xFF);
    if (isTemperature(reg))
        return formatFixed(decodeReal(Encoding::Scaled, high, low, scale), scale.digits());
    if (reg == reg::status || reg == reg::identification) return hexWord(word);
    const ParmRegister* p = findParmRegister(reg);
    if (!p) return formatWhole(int16_t(word));
    if (p->enc == Encoding::Scaled || p->enc == Encoding::Tenths)
        return formatFixed(decodeReal(p->enc, high, low, scale), scaleOf(p->enc, scale).digits());
    if (p->enc == Encoding::TimeWord) return timeWordText(splitTimeWord(int16_t(word)));
    return formatWhole(decodeInt(p->enc, high, low));
}

std::string named(uint16_t reg) {
    const std::string label = registerLabel(reg);
    return label.empty() ? hexWord(reg) : hexWord(reg) + " " + label;
}

bool isRead(uint8_t function) {
    return function == kFnReadHolding || function == kFnReadInput;
}

uint16_t word(const uint8_t* b) {
    return uint16_t(b[0] << 8 | b[1]);
}

std::string readValues(Scale scale, uint16_t first, const std::vector<uint8_t>& reply) {
    const std::vector<uint16_t> words = replyWords(reply.data());
    if (words.size() == 1) return valueText(scale, first, words[0]);
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i == kListedValues) return text + ", …";
        if (i) text += ", ";
        const auto reg = uint16_t(first + i);
        const std::string label = registerLabel(reg);
        text += (label.empty() ? hexWord(reg) : label) + "=" + valueText(scale, reg, words[i]);
    }
    return text;
}

} // namespace

std::string exceptionMeaning(uint8_t code) {
    const std::string name = exceptionName(code);
    return "exception " + hexByte(code) + (name.empty() ? "" : " (" + name + ")");
}

std::string requestMeaning(Scale scale, const Frame& q) {
    const uint16_t reg = word(&q[2]), value = word(&q[4]);
    if (isRead(q[1])) {
        if (value == 1) return "read " + named(reg);
        return "read " + hexWord(reg) + ".." + hexWord(uint16_t(reg + value - 1));
    }
    if (q[1] == kFnWriteSingle) return "write " + named(reg) + " " + valueText(scale, reg, value);
    return "function " + hexByte(q[1]) + " at " + hexWord(reg);
}

std::string exchangeMeaning(Scale scale, const FrameRecord& r) {
    std::string outcome;
    const Verdict v = verdictOf(r);
    if (v == Verdict::exception)
        outcome = exceptionMeaning(r.exceptionCode);
    else if (isFailure(v))
        outcome = verdictText(v);
    else if (isRead(r.request[1]))
        outcome = readValues(scale, word(&r.request[2]), r.reply);
    else
        outcome = "confirmed";
    return requestMeaning(scale, r.request) + " → " + outcome;
}
