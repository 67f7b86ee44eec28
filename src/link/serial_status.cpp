#include "link/serial_status.h"

#include "serial/serial_service.h"

namespace {

struct StatusBit {
    int bit;
    const char* message;
};

constexpr StatusBit kBits[] = {
    {0x0001, "Input lost: Input queue filled and characters were lost.\n"},
    {0x0002, "Asynch error: Problem determining number of characters in input queue.\n"},
    {0x0010, "Parity error.\n"},
    {0x0020, "Overrun error: Received characters were lost.\n"},
    {0x0040, "Framing error: Stop bits were not received as expected.\n"},
    {0x0080, "Break: A break signal was detected.\n"},
    {0x1000, "Remote XOFF: An XOFF character was received.\nIf XON/XOFF was enabled, no "
             "characters are removed from the output queue and sent to another device until "
             "that device sends an XON character.\n"},
    {0x2000, "Remote XON: An XON character was received.\nTransmisson can resume.\n"},
    {0x4000, "Local XOFF: An XOFF character was sent to\n the other device.  If XON/XOFF was "
             "enabled, XOFF is\n transmitted when the input queue is 50%, 75%, and 90%\n full.\n"},
    {0x8000, "Local XON: An XON character was sent to\n the other device.  If XON/XOFF was "
             "enabled, XON is\n transmitted when the input queue empties after XOFF\n was sent.  "
             "XON tells the other device that it can \n resume sending data.\n"},
};

} // namespace

std::string statusReportText(int status) {
    std::string text;
    for (const StatusBit& b : kBits)
        if (status & b.bit) text += b.message;
    // The driver's counters say what grew since the last call, so nothing set
    // means a clean line since the operator last looked: said in those words,
    // before the status word's own.
    return text.empty() ? "No line errors since the last look.\nNo status bits are set." : text;
}

std::string takeLineStatusText(ComPort& port) {
    return statusReportText(GetComStat(port));
}
