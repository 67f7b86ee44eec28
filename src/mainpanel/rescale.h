#pragma once
// A change of decimal point or unit converts none of the controller's
// values: every register keeps its number. With the decimal point each
// temperature then reads ten times larger or smaller; with the unit the
// controller converts PV alone and the other temperatures keep their numbers
// in the new unit. The operator hears of it before, and after the change the
// panels read again what it rescaled.
#include <cstdint>
#include <vector>

class Controller;

// Asks before reg (the decimal point or the unit) takes code, naming what
// it does to the values the panel holds. True to go on; also when the code
// is the one the controller holds, which changes nothing.
bool rescaleConfirmed(Controller& c, uint16_t reg, int code);

// The controller whose unit and decimal point the main panel changes, and the
// panels that show, outside the main panel's parameters, what such a change
// rescales (PV, the PID block). Each follower brings its panel up to date
// after every change of unit or decimal point the controller holds, once the
// record holds the rescaled values.
struct Rescale {
    Controller& controller;
    std::vector<void (*)(Controller&)> followers;

    // Handing the same one in again changes nothing.
    void follow(void (*refresh)(Controller&));
};

// The controller holds a decimal point of the other scale: the digits on
// every panel follow it, and every scaled value the record held is read
// again and shown; one that cannot be read shows no value, and the operator
// is told. Then the followers.
void followDecimalPoint(Rescale& rescale);

// The unit the controller holds changed (confirmed, or read back).
void unitChanged(Rescale& rescale);
