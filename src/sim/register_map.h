#pragma once
// The simulated controller's registers: storage, power-on defaults and the
// rules a Modbus request has to pass before it touches them.
#include <array>
#include <cstdint>
#include <optional>

namespace sim {

namespace regs {
// Parameters (raw 16-bit contents; temperatures in tenths with the decimal point on).
constexpr uint16_t kSv = 0x0000;
constexpr uint16_t kPvOffset = 0x0001;
constexpr uint16_t kOutputLevel = 0x0002; // manual output, percent x10
constexpr uint16_t kMode = 0x0003;
constexpr uint16_t kAlarm1Sp = 0x0004; // scaled like PV
constexpr uint16_t kAlarm1Hys = 0x0005;
constexpr uint16_t kAlarm1Fn = 0x0006;
constexpr uint16_t kAlarm2Sp = 0x0009;
constexpr uint16_t kAlarm2Hys = 0x000A;
constexpr uint16_t kAlarm2Fn = 0x000B;
constexpr uint16_t kRampRate = 0x000E;
constexpr uint16_t kPBand = 0x0011;
constexpr uint16_t kIntegral = 0x0012;
constexpr uint16_t kDerivative = 0x0013;
constexpr uint16_t kCycleTime = 0x0017;
constexpr uint16_t kDecimalPoint = 0x0021;
constexpr uint16_t kAction = 0x0022; // 0 Dir (cooling), 1 Rev (heating)
constexpr uint16_t kLoLimit = 0x0023;
constexpr uint16_t kHiLimit = 0x0024;
constexpr uint16_t kTimeUnit = 0x0026; // 0 MM:SS, 1 HH:MM
constexpr uint16_t kLastParameter = 0x0029;
constexpr uint16_t kFirstProgram = 0x0032;
constexpr uint16_t kLastProgram = 0x005A;
// Live values, read only over the line.
constexpr uint16_t kPv = 0x1000;
constexpr uint16_t kSvLive = 0x1001;
constexpr uint16_t kOutput = 0x1002; // percent x10
constexpr uint16_t kRunStatus = 0x1003;
constexpr uint16_t kIdent = 0x1F00;
} // namespace regs

enum class Mode : uint16_t {
    Off = 0,
    On = 1,
    AutoTune1 = 2,
    AutoTune2 = 3,
    Manual = 4,
    Program = 5
};

constexpr uint8_t kModelNumber = 7;

class RegisterMap {
  public:
    explicit RegisterMap(char variant = '@');

    // Whether a read of count registers from first stays inside the map.
    static bool readable(uint16_t first, int count);
    static bool writable(uint16_t address);

    // Raw access with no line rules; out-of-map addresses read 0 and ignore writes.
    uint16_t get(uint16_t address) const;
    void set(uint16_t address, uint16_t value);
    int16_t getSigned(uint16_t address) const { return static_cast<int16_t>(get(address)); }

    // A write from the master: 0 when stored, otherwise the Modbus exception code.
    uint8_t writeFromLine(uint16_t address, uint16_t value);

    Mode mode() const { return static_cast<Mode>(get(regs::kMode)); }
    // The model code in the high byte of the identification word.
    char variant() const { return char(ident_ >> 8); }
    // The SV a ramp has reached, shown in 0x1001 while it differs from the
    // SV register; nothing: no ramp under way.
    void setRampingSv(std::optional<int16_t> sv) { rampingSv_ = sv; }
    // The alarm output bits the run status word carries beside the program state.
    void setAlarmOutputs(uint16_t bits) { alarmOutputs_ = bits; }

  private:
    static constexpr int kBlockSize = regs::kLastProgram + 1;
    std::array<uint16_t, kBlockSize> block_{};
    uint16_t pv_ = 0;
    uint16_t output_ = 0;
    uint16_t runStatus_ = 0;
    uint16_t alarmOutputs_ = 0;
    uint16_t ident_ = 0;
    std::optional<int16_t> rampingSv_;
};

} // namespace sim
