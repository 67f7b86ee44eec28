#pragma once
// The panels follow the line's events: the connection light, the status
// line, the notice of a lost line, and an empty PV display once the
// controller is no longer connected.

class Controller;
class StatusLine;

class LineView {
  public:
    // Listens to the controller's line for as long as it lives.
    LineView(Controller& c, StatusLine& statusLine);
    ~LineView();
    LineView(const LineView&) = delete;
    LineView& operator=(const LineView&) = delete;

  private:
    Controller& controller_;
    int observer_ = 0;
    int healthObserver_ = 0;
};
