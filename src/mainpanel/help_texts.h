#pragma once
// Help texts of the parameter controls, shown on a right click.
#include "panelkit/panel_service.h"

struct HelpText {
    const char* callback; // the callback whose control shows it
    const char* title;
    const char* text;
};

const HelpText* findHelp(const char* callback);
void showHelp(const char* callback);
