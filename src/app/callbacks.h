#pragma once
// Fills the callback registry with every callback the panel files name,
// each bound to the objects it works on.

struct PanelObjects;
void registerAllCallbacks(PanelObjects& objects);
