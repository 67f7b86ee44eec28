// PID files: a refused file leaves the record untouched; an accepted one
// saves and reads back to the same text.
#include "pid/pid_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ParmRecord record;
    record.pid12 = 4321;
    const ParmRecord before = record;
    if (!parsePidFile(text, &record)) {
        if (std::memcmp(&before, &record, sizeof record) != 0) std::abort();
        return 0;
    }
    const std::string saved = formatPidFile(record);
    ParmRecord again;
    if (!parsePidFile(saved, &again)) std::abort();
    if (formatPidFile(again) != saved) std::abort();
    return 0;
}
