#pragma once
#include <string>

// The sentence for every status bit set, lowest bit first.
std::string statusReportText(int status);
// Shows the port's status bits as sentences in one popup.
void DisplayRS232Error();
