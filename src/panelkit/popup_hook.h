#pragma once
// The test responder that answers popups instead of the operator, and what
// every popup shares with the prompts object's boxes. GUI thread only.
#include <string>

class QDialog;
class QFileDialog;

struct PopupScript;
PopupScript* activePopupScript();
// The notices a script answered stay open until withdrawn; a new script (or
// none) starts with none open.
void forgetScriptedNotices();

// Sets up a file dialog as FileSelectPopup does: its button label (VAL_*),
// filters and default name or pattern.
void setUpFileDialog(QFileDialog& dialog, const std::string& defaultSpec,
                     const std::string& filterList, int buttonLabel, bool restrictExtension,
                     bool allowMakeDirectory);
// Sizes a box to what it shows and places it beside the main panel.
void placePopup(QDialog* dialog);
// Counts the dialog among the open popups until it is gone: Escape answers
// it once the run is ending, and Q7_POPUP_LOG names it.
void trackOpenPopup(QDialog* dialog, const std::string& title);
