#pragma once
// DftCom.prm: the COM port number, baud rate and controller id of the last
// good connection, as three decimal integers "port, baud, id". A number that
// reached a network gateway keeps its endpoint with it, as --com gives one:
// "COM5=tcp://192.168.1.20:502, 19200, 1". A program that knows no endpoints
// then reads no port at all, rather than take COM5 for the serial device the
// number means without --com.
// Settings other than the usual follow as more fields, never changing the
// meaning of the three: the character frame, "3, 19200, 1, 2, 1" (parity 0
// none, 1 odd, 2 even; stop bits), then whether the operator is notified
// when the alarm outputs turn on and when the controller stops answering
// (1 or 0 each). A reader of the three fields stops before them, and a file
// without them means what the program has always done.
#include <cstdint>
#include <optional>
#include <string>

inline constexpr const char* kComSettingsFile = "DftCom.prm";

struct ComSettingsExtra {
    int parity = 0;
    int stopBits = 2;
    bool alarmNotices = true;
    bool silenceNotices = true;
    bool operator==(const ComSettingsExtra&) const = default;
};

struct ComSettingsFields {
    std::optional<uint16_t> port;
    std::optional<int32_t> baudRate;
    std::optional<uint16_t> controllerId;
    std::string endpoint; // the port's network endpoint, when the file keeps one
    // Only when the file has them, whole and sound.
    std::optional<int32_t> parity;
    std::optional<int32_t> stopBits;
    std::optional<bool> alarmNotices;
    std::optional<bool> silenceNotices;
    // The baud rate field as written, when it is there but not a rate the
    // line runs at (kBaudRates): the operator is told, and picks another.
    std::optional<std::string> badBaudRate;
    // The id field as written, when it is there but not an id from 1 to
    // 247: it is told, and never used.
    std::optional<std::string> badControllerId;
};

// Fields may be separated by commas, white space or both. Reading stops at
// the first field that is missing, not a number, or out of range.
ComSettingsFields parseComSettings(const std::string& text);
// endpoint: the port's device when it is a network endpoint, else empty.
std::string formatComSettings(int port, long baudRate, int controllerId,
                              const std::string& endpoint = "", const ComSettingsExtra& extra = {});
// The fields of DftCom.prm in the working directory; nothing when it cannot be read.
std::optional<ComSettingsFields> loadComSettings();
// The port's number means the kept endpoint from now on, unless --com or
// the simulator says otherwise (com_map.h).
void mapSavedEndpoint(const ComSettingsFields& fields);
