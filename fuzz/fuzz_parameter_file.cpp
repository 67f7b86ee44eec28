// The parameter file: any text is either refused with a reason or gives a
// record whose own file reads back to the same record.
#include "params/parameter_file.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto parsed = parseParameterFile(text, ParmRecord{});
    if (const auto* why = std::get_if<std::string>(&parsed)) {
        if (why->empty()) std::abort(); // a refusal always says why
        return 0;
    }
    const std::string saved = formatParameterFile(std::get<ParmRecord>(parsed));
    const auto again = parseParameterFile(saved, ParmRecord{});
    if (!std::holds_alternative<ParmRecord>(again)) std::abort();
    if (formatParameterFile(std::get<ParmRecord>(again)) != saved) std::abort();
    return 0;
}
