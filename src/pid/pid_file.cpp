#include "pid/pid_file.h"

#include "params/params_state.h"
#include "pid/pid_block.h"
#include "runtime/atomic_file.h"
#include "runtime/number_text.h"
#include "runtime/panel_service.h"

#include <cmath>
#include <limits>
#include <optional>

namespace {

constexpr const char* kDefaultSpec = "*.prm";
constexpr const char* kFilterList = "*.txt;*.prm;*.dat";
// The save dialog shares the load dialog's title.
constexpr const char* kDialogTitle = "Load Parameter File";
constexpr const char* kErrorTitle = "PID File Error";
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

bool parsePidFile(std::string_view text, ParmRecord* record) {
    const auto tokens = splitTokens(text);
    if (tokens.size() != std::size_t(kPidRegisterCount)) return false;
    ParmRecord parsed = *record;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const PidField& f = pidFields()[i];
        if (f.real) {
            const auto v = parseFloat(tokens[i]);
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
