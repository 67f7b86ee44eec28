#include "params/parameter_file.h"

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "link/registers.h"
#include "params/encodings.h"
#include "params/field_check.h"
#include "params/register_map.h"

#include <cmath>

namespace {

constexpr std::size_t kReals = 18, kInts = 20, kFields = kReals + kInts;
constexpr std::size_t kLoField = 10, kHiField = 11;

// The register a file field belongs to, if any (the spares have none).
const ParmRegister* registerOf(float ParmRecord::*field) {
    for (const ParmRegister& r : parmRegisters())
        if (r.real == field) return &r;
    return nullptr;
}
const ParmRegister* registerOf(int16_t ParmRecord::*field) {
    for (const ParmRegister& r : parmRegisters())
        if (r.word == field) return &r;
    return nullptr;
}

// "line 1, field 21 (268)"
std::string spot(const std::string& text, std::string_view token, std::size_t index) {
    return fileSpot(text, token, "field", index + 1) + " (" + std::string(token) + ")";
}

// "SV (0x0000) holds -3276.8 to 3276.7 with the file's decimal point"
std::string registerReach(const ParmRegister& r, Scale decimalPoint) {
    const bool tenths = r.enc == Encoding::Tenths;
    const Scale scale = scaleOf(r.enc, decimalPoint);
    return parmRegisterName(r.reg) + " holds " + formatFixed(scale.lowest(), scale.digits()) +
           " to " + formatFixed(scale.highest(), scale.digits()) +
           (tenths ? "" : " with the file's decimal point");
}

} // namespace

std::string formatParameterFile(const ParmRecord& record) {
    // "%7.2f " for each real, then "%i" separated by single spaces.
    std::string line;
    for (std::size_t i = 0; i < kReals; ++i)
        line += formatFixed(double(record.*kFileReals[i]), 2, 7) + ' ';
    for (std::size_t i = 0; i < kInts; ++i) {
        if (i > 0) line += ' ';
        line += formatWhole(record.*kFileInts[i]);
    }
    return line;
}

std::variant<ParmRecord, std::string> parseParameterFile(const std::string& text,
                                                         const ParmRecord& base,
                                                         std::vector<std::string>* doubts) {
    const auto tokens = splitTokens(text);
    if (tokens.size() != kFields)
        return "it holds " + std::to_string(tokens.size()) + " fields; a parameter file holds " +
               std::to_string(kFields) + " numbers";
    ParmRecord out = base;
    std::vector<std::string> found;
    for (std::size_t i = 0; i < kInts; ++i) {
        const std::string_view token = tokens[kReals + i];
        const auto v = parseWhole(token);
        if (!v) return spot(text, token, kReals + i) + " is not a whole number";
        if (*v < -32768 || *v > 65535)
            return spot(text, token, kReals + i) + " does not fit 16 bits";
        if (const ParmRegister* r = registerOf(kFileInts[i])) {
            const FieldVerdict verdict =
                checkField(*registerField(r->reg), double(*v), parmRegisterName(r->reg));
            if (verdict.fit == FieldFit::outside)
                return spot(text, token, kReals + i) + " " + verdict.why;
            if (verdict.fit == FieldFit::unknownCode)
                found.push_back(fileSpot(text, token, "field", kReals + i + 1) + ": " +
                                verdict.why);
        }
        // Past 32767 a word keeps its 16 bits: the controller's register
        // holds the same pattern either way.
        out.*kFileInts[i] = int16_t(uint16_t(*v & 0xFFFF));
    }
    // Scaled values travel with the file's own decimal point.
    const Scale scale = Scale::ofDecimalPoint(out.decimalPoint);
    for (std::size_t i = 0; i < kReals; ++i) {
        const auto v = parseReal(tokens[i]);
        if (!v || std::fabs(*v) > 1e30)
            return fileSpot(text, tokens[i], "field", i + 1) + " (\"" + std::string(tokens[i]) +
                   "\") is not a number";
        if (const ParmRegister* r = registerOf(kFileReals[i])) {
            if (!realFitsRegister(r->enc, *v, scale))
                return spot(text, tokens[i], i) +
                       " does not fit its register: " + registerReach(*r, scale);
            const FieldVerdict verdict =
                checkField(*registerField(r->reg), *v, parmRegisterName(r->reg));
            if (verdict.fit == FieldFit::outside)
                return spot(text, tokens[i], i) + " " + verdict.why;
        }
        out.*kFileReals[i] = float(*v);
    }
    // Each fits its register, but the controller would take no set value:
    // compared as the words sent.
    const auto lo = encodeReal(Encoding::Scaled, out.loLimit, scale);
    const auto hi = encodeReal(Encoding::Scaled, out.hiLimit, scale);
    if (lo && hi && *lo >= *hi)
        found.push_back(fileSpot(text, tokens[kLoField - 1], "fields", kLoField) + " and " +
                        std::to_string(kHiField) + ": " + parmRegisterLabel(reg::loLimit) + " " +
                        std::string(tokens[kLoField - 1]) + " is not below " +
                        parmRegisterLabel(reg::hiLimit) + " " + std::string(tokens[kHiField - 1]) +
                        ", so the controller would take no set value");
    if (doubts) *doubts = std::move(found);
    return out;
}

std::variant<ParmRecord, std::string> readParameterFile(const std::string& path,
                                                        const ParmRecord& base,
                                                        std::vector<std::string>* doubts) {
    if (std::string why = notARegularFile(path); !why.empty()) return why;
    std::string text;
    if (!readSmallFile(path, &text))
        return "it cannot be read, or is far larger than a parameter file";
    auto parsed = parseParameterFile(text, base, doubts);
    if (auto* problem = std::get_if<std::string>(&parsed))
        return "it is not a parameter file: " + *problem;
    return parsed;
}
