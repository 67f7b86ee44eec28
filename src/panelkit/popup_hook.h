#pragma once
// The test responder that answers popups instead of the operator. GUI thread only.
struct PopupScript;
PopupScript* activePopupScript();
// The notices a script answered stay open until withdrawn; a new script (or
// none) starts with none open.
void forgetScriptedNotices();
