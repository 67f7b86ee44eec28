#pragma once
// The line errors the serial driver counted, as sentences.
#include <string>

// The sentence for every status bit set, lowest bit first.
std::string statusReportText(int status);
// The sentences for the errors counted on the line's port since the last look.
class ComPort;
std::string takeLineStatusText(ComPort& port);
