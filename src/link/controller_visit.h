#pragma once
// Addresses another controller on the line for the lifetime of the
// visit: requests go to its id, under the same pacing, drain and reply checks
// as every request. What it answers or not is its own: its silence and its
// last reply are not taken for those of the line's controller, whose
// status line and notices would otherwise say a healthy controller fell
// silent. The line's own id stays what it is, for whoever shows it
// meanwhile. Visiting the line's own id changes nothing.
#include <cstdint>

class Controller;
class Line;

class ControllerVisit {
  public:
    // own is the line's controller; id the one visited.
    ControllerVisit(Controller& own, uint16_t id);
    ~ControllerVisit();
    ControllerVisit(const ControllerVisit&) = delete;
    ControllerVisit& operator=(const ControllerVisit&) = delete;

  private:
    Line& line_;
    bool other_;
    bool wasVisiting_ = false;
    uint16_t wasVisitedId_ = 0;
};

// The same for requests that each name their own id (a scan of the line):
// none of them counts for the line's controller.
class OthersVisit {
  public:
    explicit OthersVisit(Line& line);
    ~OthersVisit();
    OthersVisit(const OthersVisit&) = delete;
    OthersVisit& operator=(const OthersVisit&) = delete;

  private:
    Line& line_;
    bool wasVisiting_;
};
