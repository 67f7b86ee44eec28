#include "params/parameter_file.h"

#include "params/encodings.h"
#include "params/register_map.h"
#include "runtime/atomic_file.h"
#include "runtime/number_text.h"

#include <cmath>

namespace {

constexpr std::size_t kReals = 18, kInts = 20, kFields = kReals + kInts;

// The register a real file field belongs to, if any (the spares have none).
const ParmRegister* registerOf(float ParmRecord::*field) {
    for (const ParmRegister& r : parmRegisters())
        if (r.real == field) return &r;
    return nullptr;
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
                                                         const ParmRecord& base) {
    const auto tokens = splitTokens(text);
    if (tokens.size() != kFields)
        return "it holds " + std::to_string(tokens.size()) + " fields; a parameter file holds " +
               std::to_string(kFields) + " numbers";
    ParmRecord out = base;
    for (std::size_t i = 0; i < kInts; ++i) {
        const auto v = parseWhole(tokens[kReals + i]);
        if (!v)
            return "field " + std::to_string(kReals + i + 1) + " (\"" +
                   std::string(tokens[kReals + i]) + "\") is not a whole number";
        if (*v < -32768 || *v > 65535)
            return "field " + std::to_string(kReals + i + 1) + " (" + std::to_string(*v) +
                   ") does not fit 16 bits";
        out.*kFileInts[i] = int16_t(uint16_t(*v & 0xFFFF));
    }
    // Scaled values travel with the file's own decimal point.
    const float multiplier = out.decimalPoint != 0 ? 10.0f : 1.0f;
    for (std::size_t i = 0; i < kReals; ++i) {
        const auto v = parseReal(tokens[i]);
        if (!v || std::fabs(*v) > 1e30)
            return "field " + std::to_string(i + 1) + " (\"" + std::string(tokens[i]) +
                   "\") is not a number";
        const ParmRegister* r = registerOf(kFileReals[i]);
        if (r && !realFitsRegister(r->enc, *v, multiplier))
            return "field " + std::to_string(i + 1) + " (" + std::string(tokens[i]) +
                   ") does not fit its register";
        out.*kFileReals[i] = float(*v);
    }
    return out;
}

std::variant<ParmRecord, std::string> readParameterFile(const std::string& path,
                                                        const ParmRecord& base) {
    std::string text;
    if (!readSmallFile(path, &text))
        return "it cannot be read, or is far larger than a parameter file";
    auto parsed = parseParameterFile(text, base);
    if (auto* problem = std::get_if<std::string>(&parsed))
        return "it is not a parameter file: " + *problem;
    return parsed;
}
