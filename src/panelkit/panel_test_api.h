#pragma once
// Test hooks of the panel service: drive controls the way the operator does
// and answer popups from a script.
#include "panelkit/panel_service.h"

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

struct PopupRecord {
    std::string kind; // "message", "notice", "generic", "file"
    std::string title;
    std::string text;
};

// Scripted answers, consumed in order. A generic popup takes the next
// button number; a file popup takes the next (result, path) pair. Without
// an answer a generic popup picks its escape button and a file popup cancels.
struct PopupScript {
    std::deque<int> buttons;
    std::deque<std::pair<int, std::string>> files;
    std::vector<PopupRecord> shown;
    // Desktop notifications, which ask nothing of the operator.
    std::vector<PopupRecord> notifications;
};

// Installs the script (nullptr: real dialogs again). The script must outlive its use.
void setPopupScript(PopupScript* script);

// Posts a user event to the control thread, as the widget itself would.
void postCommit(int panel, CtrlId control);
void postRightClick(int panel, CtrlId control);
void postTick(int panel, CtrlId timer);
void postTask(std::function<void()> task); // runs on the control thread
// Runs the GUI event loop until the control thread is idle with nothing queued.
bool waitIdle(std::chrono::milliseconds timeout = std::chrono::seconds(20));
// True on the thread that runs callbacks.
bool isControlThread();
