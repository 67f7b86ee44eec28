#pragma once
// Loads the panels in start-up order; false when the main panel cannot be loaded.

struct PanelObjects;
bool loadAllPanels(PanelObjects& objects);
