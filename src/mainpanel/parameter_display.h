#pragma once
// Where each parameter register is shown, and putting a record value there.
#include "panelkit/panel_service.h"

#include <cstdint>
#include <span>
#include <vector>

class Controller;

struct ShownParameter {
    uint16_t reg;
    bool onDebugPanel; // else the main panel
    CtrlId control;
    CtrlId minorControl; // second field of a time word
};

// Every register a control shows, with that control.
std::span<const ShownParameter> shownParameters();

// A register shown on the debug panel rather than the main one (the key
// lock): the folder that owns that panel says which control shows it.
void showParameterOnDebugPanel(uint16_t reg, CtrlId control, int (*debugPanel)());

// Shows the record's value of reg in its control (nothing for registers no
// control shows); a value the controller has not given shows as no value.
void showParameter(Controller& c, uint16_t reg);
