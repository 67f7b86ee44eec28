#pragma once
// A change of decimal point or unit converts none of the controller's
// values: every register keeps its number. With the decimal point each
// temperature then reads ten times larger or smaller; with the unit the
// controller converts PV alone and the other temperatures keep their numbers
// in the new unit. The operator hears of it before, and after the change the
// panels read again what it rescaled.
#include <cstdint>

class Controller;

// Asks before reg (the decimal point or the unit) takes code, naming what
// it does to the values the panel holds. True to go on; also when the code
// is the one the controller holds, which changes nothing.
bool rescaleConfirmed(Controller& c, uint16_t reg, int code);

// The controller holds a decimal point of the other scale: the digits on
// every panel follow it, and every scaled value the record held is read
// again and shown; one that cannot be read shows no value, and the operator
// is told. Then the followers below.
void followDecimalPoint(Controller& c);

// Panels that show, outside the main panel's parameters, what such a change
// rescales (PV, the PID block) hand in how they bring it up to date. Each
// is called after every change of unit or decimal point the controller
// holds, once the record holds the rescaled values. Handing the same one in
// again changes nothing.
void followRescale(void (*refresh)(Controller&));

// The unit the controller holds changed (confirmed, or read back).
void unitChanged(Controller& c);
