#pragma once
// The output level's write and its register word, shared by the main
// panel's SET and the shell's `set out`, so both send the same bytes.
#include "link/transfer.h"

#include <cstdint>

class Controller;

// Writes the level in percent on the caller's transfer, judged by its echo.
Outcome writeOutputLevel(Transfer& transfer, float percent);
// The value the last write's echo carries: what the controller confirmed.
uint16_t writtenWord(Controller& c);
// The level in percent a register word holds.
float outputLevelPercent(uint16_t word);
