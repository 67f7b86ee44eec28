#pragma once
// Loads the panels in start-up order; false when the main panel cannot be loaded.

class Controller;
bool loadAllPanels(Controller& c);
