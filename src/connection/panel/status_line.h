#pragma once
// The main panel's status line: the port and its device, the controller id
// and model, and how long ago the controller last answered, e.g.
// "COM3 /dev/ttyUSB0 · id 1 · model @ · last reply 0.4 s ago". It only reads
// the session's state, so the GUI refreshes it by itself once a second
// without waking the control thread.
#include "link/line_events.h"

#include <optional>
#include <string>

class Controller;

struct LineFacts {
    int port = 0;
    std::string device;
    int controllerId = 0;
    bool connected = false;         // the port is open and the probe found our controller
    bool lost = false;              // the port's device went away
    char model = 0;                 // '@' or 'D' once connected
    bool silent = false;            // requests go unanswered
    std::optional<double> replyAge; // seconds since the controller last answered
    std::string replyClock;         // "HH:MM:SS" of that reply
    std::string lostAt;             // "HH:MM:SS" the device went away
    std::string reconnectedAt;      // "HH:MM:SS" it came back by itself
};

std::string statusText(const LineFacts& facts);
// The facts as the session and this line's events have them now. Any thread.
LineFacts currentLineFacts(Controller& c);
// Keeps the moments the line was lost and came back by itself, and shows the change.
void noteLineEvent(Controller& c, LineEvent event);
// Shows the current facts. Any thread.
void refreshStatusLine(Controller& c);
// From now on the GUI refreshes the line once a second. GUI thread.
void startStatusLine(Controller& c);
// Forgets the line's history: a new run, or a test, starts clean.
void resetStatusLine();
