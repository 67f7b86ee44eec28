#pragma once
// One operator session on the real panels, from connecting to the controlled
// exit: the requests it causes are what the controller sees in a working day.
#include "panelkit/panel_test_api.h"

#include <functional>
#include <string>

struct OperatorSessionHooks {
    // Called once every step's requests have all been answered, with its heading.
    std::function<void(const std::string& heading)> step;
    // Makes the controller report a running program from the step program
    // panel's opening to the exit: the panel takes up the run as it opens, and
    // the exit asks before it switches a running function off.
    std::function<void()> reportRunning;
};

// Connects to COM 3, id 1, and works every panel once. Popups and file
// dialogs are answered from popups; files go to workDir.
void runOperatorSession(PopupScript& popups, const std::string& workDir,
                        const OperatorSessionHooks& hooks);
