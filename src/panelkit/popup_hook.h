#pragma once
// The test responder that answers popups instead of the operator. GUI thread only.
struct PopupScript;
PopupScript* activePopupScript();
