#pragma once
// The main panel's status line: the port and its device, the controller id
// and model, and how long ago the controller last answered, e.g.
// "COM3 /dev/ttyUSB0 · id 1 · model @ · last reply 0.4 s ago". It only reads
// the session's state, so the GUI refreshes it by itself once a second
// without waking the control thread.
#include "link/line_events.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class Controller;
class QObject;

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

class StatusLine {
  public:
    explicit StatusLine(Controller& c);
    // GUI thread, as the refresh lives there.
    ~StatusLine();
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // The facts as the controller's line and its events have them now. Any thread.
    LineFacts facts();
    // Keeps the moments the line was lost and came back by itself, and shows the change.
    void noteLineEvent(LineEvent event);
    // Shows the current facts. Any thread.
    void refresh();
    // From now on the GUI refreshes the line once a second. GUI thread.
    void start();

  private:
    Controller& controller_;
    std::mutex mutex_;
    std::string lostAt_, reconnectedAt_;
    // What the line shows; touched on the GUI thread only, so refreshes from
    // either thread cannot overtake one another.
    std::string lastShown_;
    std::unique_ptr<QObject> refresher_;
};
