#include "pid/pid_file.h"

#include "base/atomic_file.h"
#include "base/number_text.h"
#include "params/field_check.h"
#include "pid/pid_block.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

// Eleven short numbers; anything much longer is not a PID file.
constexpr std::size_t kMaxFileSize = 4096;

// Past float's range the conversion itself is undefined and would turn into
// an infinite tuning value.
std::optional<float> parseFloat(std::string_view token) {
    const auto v = parseReal(token);
    if (!v || std::fabs(*v) > double(std::numeric_limits<float>::max())) return std::nullopt;
    return float(*v);
}

std::optional<int16_t> parseWord(std::string_view token) {
    const auto v = parseWhole(token);
    if (!v || *v < -32768 || *v > 32767) return std::nullopt;
    return int16_t(*v);
}

} // namespace

std::string formatPidFile(const ParmRecord& record) {
    std::string line;
    for (const PidField& f : pidFields()) {
        if (!line.empty()) line += ' ';
        line += f.real ? formatFixed(double(record.*f.real), 2, 7) : formatWhole(record.*f.word);
    }
    return line;
}

bool parsePidFile(std::string_view text, ParmRecord* record, std::string* why) {
    const auto tokens = splitTokens(text);
    if (tokens.size() != std::size_t(kPidRegisterCount)) return false;
    ParmRecord parsed = *record;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const PidField& f = pidFields()[i];
        double value = 0;
        if (f.real) {
            const auto v = parseFloat(tokens[i]);
            if (!v) return false;
            parsed.*f.real = *v;
            value = *v;
        } else {
            const auto v = parseWord(tokens[i]);
            if (!v) return false;
            parsed.*f.word = *v;
            value = *v;
        }
        const FieldVerdict verdict =
            checkField(*registerField(f.reg), value, parmRegisterName(f.reg));
        if (verdict.fit == FieldFit::outside) {
            if (why)
                *why = fileSpot(text, tokens[i], "field", i + 1) + " (" + std::string(tokens[i]) +
                       ") " + verdict.why;
            return false;
        }
    }
    *record = parsed;
    return true;
}

bool readPidFile(const std::string& path, ParmRecord* record, std::string* why) {
    if (*why = notARegularFile(path); !why->empty()) return false;
    std::string text;
    if (!readSmallFile(path, &text, kMaxFileSize)) {
        *why = "it cannot be read, or is far larger than a PID file";
        return false;
    }
    if (!parsePidFile(text, record, why)) {
        if (why->empty())
            *why = "it is not a PID file: it must hold the 11 PID values in register order";
        return false;
    }
    return true;
}
