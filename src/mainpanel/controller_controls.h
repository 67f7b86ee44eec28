#pragma once
// The main panel's controls that act on, or show, the connected controller.
// They are dimmed until a good connection, and again once the connection
// fails or the line is lost: nothing on the panel may look live then.
#include "panelkit/panel_service.h"

#include <cstdint>
#include <span>

class Controller;

// Every such control, for the panel file's start and for tests.
std::span<const CtrlId> controllerControls();

// Dims (1) or undims (0) them. Undimmed, the ramp and soft-start group
// follows the model ('D' only); the output level and its SET button follow
// the control mode instead and are only ever dimmed here.
void DimmedParmMenuFunction(Controller& c, uint16_t dimmed);

// Listens to the line: a failed connection or a lost line dims the
// controls again, stops the auto-tune poll and blanks what the controller
// alone can tell. Once for each controller.
void dimWhenDisconnected(Controller& c);
