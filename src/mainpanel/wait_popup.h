#pragma once
// The wait popup of long transfers. A transfer started while another has it
// up (the connection hands over to the parameter read) does not install it
// twice. While it is up it shows how far the transfer has got ("reading
// parameters: 5 of 26") and its Cancel button stops the transfer at the next
// register boundary.
#include <string>

class Controller;

// what: the transfer in a few words, "reading parameters".
void showWaitPopup(Controller& c, const std::string& what = "talking to the controller");
void removeWaitPopup(Controller& c);
bool waitPopupShown();
