// DftCom.prm: any text yields fields in range, and saved fields read back.
#include "connection/com_settings_file.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ComSettingsFields f = parseComSettings(text);
    if (f.port && f.baudRate && f.controllerId) {
        const ComSettingsFields again =
            parseComSettings(formatComSettings(*f.port, *f.baudRate, *f.controllerId));
        if (again.port != f.port || again.baudRate != f.baudRate ||
            again.controllerId != f.controllerId)
            std::abort();
    }
    return 0;
}
