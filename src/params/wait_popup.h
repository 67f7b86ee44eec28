#pragma once
// The wait popup of long transfers. A transfer started while another has it
// up (the connection hands over to the parameter read) does not install it twice.
void showWaitPopup();
void removeWaitPopup();
