#pragma once
// Where each parameter register is shown, and putting a record value there.
#include <cstdint>

// Shows the record's value of reg in its control (nothing for registers no
// control shows).
void showParameter(uint16_t reg);
