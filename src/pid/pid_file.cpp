#include "pid/pid_file.h"

#include "params/params_state.h"
#include "pid/pid_block.h"
#include "runtime/atomic_file.h"
#include "runtime/panel_service.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace {

constexpr const char* kDefaultSpec = "*.prm";
constexpr const char* kFilterList = "*.txt;*.prm;*.dat";
// The save dialog shares the load dialog's title.
constexpr const char* kDialogTitle = "Load Parameter File";
constexpr const char* kErrorTitle = "PID File Error";
// Eleven short numbers; anything much longer is not a PID file.
constexpr std::size_t kMaxFileSize = 4096;

std::vector<std::string_view> splitWhitespace(std::string_view text) {
    std::vector<std::string_view> tokens;
    constexpr std::string_view space = " \t\n\r\v\f";
    std::size_t at = text.find_first_not_of(space);
    while (at != std::string_view::npos) {
        const std::size_t end = std::min(text.find_first_of(space, at), text.size());
        tokens.push_back(text.substr(at, end - at));
        at = text.find_first_not_of(space, end);
    }
    return tokens;
}

// Numbers are read without the locale, the way the file is written.
std::string_view dropPlus(std::string_view t) {
    return t.size() > 1 && t[0] == '+' && t[1] != '-' ? t.substr(1) : t;
}

std::optional<float> parseReal(std::string_view token) {
    token = dropPlus(token);
    double v = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    // Past float's range the conversion itself is undefined and would turn
    // into an infinite tuning value.
    if (ec != std::errc() || end != token.data() + token.size() || !std::isfinite(v) ||
        std::fabs(v) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return float(v);
}

std::optional<int16_t> parseWord(std::string_view token) {
    token = dropPlus(token);
    long v = 0;
    const auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    if (ec != std::errc() || end != token.data() + token.size() || v < -32768 || v > 32767)
        return std::nullopt;
    return int16_t(v);
}

std::string formatReal(float value) {
    char buf[64];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, double(value), std::chars_format::fixed, 2);
    std::string text = ec == std::errc() ? std::string(buf, end) : std::string("0.00");
    if (text.size() < 7) text.insert(0, 7 - text.size(), ' ');
    return text;
}

} // namespace

std::string formatPidFile(const ParmRecord& record) {
    std::string line;
    for (const PidField& f : pidFields()) {
        if (!line.empty()) line += ' ';
        line += f.real ? formatReal(record.*f.real) : std::to_string(record.*f.word);
    }
    return line;
}

bool parsePidFile(std::string_view text, ParmRecord* record) {
    const auto tokens = splitWhitespace(text);
    if (tokens.size() != std::size_t(kPidRegisterCount)) return false;
    ParmRecord parsed = *record;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const PidField& f = pidFields()[i];
        if (f.real) {
            const auto v = parseReal(tokens[i]);
            if (!v) return false;
            parsed.*f.real = *v;
        } else {
            const auto v = parseWord(tokens[i]);
            if (!v) return false;
            parsed.*f.word = *v;
        }
    }
    *record = parsed;
    return true;
}

bool ReadPIDParmsFromPC() {
    std::string path;
    if (FileSelectPopup("", kDefaultSpec, kFilterList, kDialogTitle, VAL_LOAD_BUTTON, 0, 0, 1, 0,
                        &path) != VAL_EXISTING_FILE_SELECTED)
        return false;
    std::string text;
    if (!readSmallFile(path, &text, kMaxFileSize)) {
        MessagePopup(kErrorTitle, "Cannot read " + path + ".\nNothing was sent.");
        return false;
    }
    ParmRecord loaded = gParams.parmRecord;
    if (!parsePidFile(text, &loaded)) {
        MessagePopup(kErrorTitle, path + " is not a PID file: it must hold the 11 PID values in "
                                         "register order.\nNothing was sent.");
        return false;
    }
    const std::string misfits = pidMisfits(loaded, gParams.dpMultiplier);
    if (!misfits.empty()) {
        MessagePopup(kErrorTitle, path + " holds values too large for their registers: " + misfits +
                                      ".\nNothing was sent.");
        return false;
    }
    for (const PidField& f : pidFields()) {
        if (f.real)
            gParams.parmRecord.*f.real = loaded.*f.real;
        else
            gParams.parmRecord.*f.word = loaded.*f.word;
    }
    return true;
}

void WritePIDParmsToFile() {
    std::string path;
    const int chosen = FileSelectPopup("", kDefaultSpec, kFilterList, kDialogTitle, VAL_OK_BUTTON,
                                       0, 0, 1, 1, &path);
    if (chosen == VAL_NO_FILE_SELECTED || path.empty()) return;
    std::string why;
    if (!writeFileAtomically(path, formatPidFile(gParams.parmRecord), &why))
        MessagePopup(kErrorTitle, "Cannot save " + path + ":\n" + why);
}
