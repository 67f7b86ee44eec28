#pragma once
// DftCom.prm: the COM port number, baud rate and controller id of the last
// good connection, as three decimal integers "port, baud, id".
#include <cstdint>
#include <optional>
#include <string>

inline constexpr const char* kComSettingsFile = "DftCom.prm";

struct ComSettingsFields {
    std::optional<uint16_t> port;
    std::optional<int32_t> baudRate;
    std::optional<uint16_t> controllerId;
};

// Fields may be separated by commas, white space or both. Reading stops at
// the first field that is missing, not a number, or out of range.
ComSettingsFields parseComSettings(const std::string& text);
std::string formatComSettings(int port, long baudRate, int controllerId);
