#pragma once
// Pictures of the panels for the README's demo run (--screenshots=DIR).
#include <string>
#include <vector>

struct PanelObjects;

// Opens every panel the way its button does (the step program and PID
// panels read from the controller), starts a short demo run on the
// Programs panel, opens the Runs panel with a finished run and an earlier
// one of its program drawn over it (two short firings make them first when
// the store has none), and shows the wait and access-code popups. Control thread.
void openEveryPanel(PanelObjects& objects);
// Saves a picture of every visible panel into dir, and one of them all on
// one screen (desk_picture.h); closes the popups and stops the demo run;
// returns the files written.
std::vector<std::string> saveVisiblePanels(PanelObjects& objects, const std::string& dir);
