#pragma once
// Keys a panel file asks for beyond what each control does by itself.
class QWidget;

// Enter in an entry of a panel whose file names an `enterControl` presses that
// control, as a dialog's default button would; entries marked `masked` show
// dots instead of what is typed. GUI thread only.
void wirePanelKeys(int panel, QWidget* root);
