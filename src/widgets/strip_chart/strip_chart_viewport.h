#pragma once
// Which stretch of the run the chart shows. Two states:
// - following (at start, after a clear and after a double click): one screen
//   wide, the newest point at the right edge; a screen not yet full fills
//   from the left;
// - browsing (after the wheel or a drag): a fixed stretch the operator
//   chose, which new points do not move.
// Plain arithmetic on chart times, without widgets, so the rules are tested
// on their own. first and last are the times of the oldest and newest point
// kept (both 0 when there is none).
struct ChartWindow {
    double left = 0, right = 0;
    double span() const { return right - left; }
};

class ChartViewport {
  public:
    // The narrowest stretch the wheel zooms in to, in seconds.
    static constexpr double kMinSpan = 2.0;
    // One wheel notch zooms by this factor.
    static constexpr double kNotch = 1.25;

    // The width of one screen while following: points per screen times the
    // interval between them.
    void setScreen(double seconds);
    double screen() const { return screen_; }
    bool following() const { return following_; }

    ChartWindow window(double first, double last) const;
    // notches > 0 zooms in, < 0 out; anchor (0 = left edge, 1 = right edge)
    // is the place across the plot that stays where it is, the pointer's.
    void zoom(double notches, double anchor, double first, double last);
    // Moves the view by a fraction of its width: a drag to the right by a
    // quarter of the plot is -0.25 (earlier times come into view).
    void pan(double fraction, double first, double last);
    void follow() { following_ = true; }

  private:
    // Keeps a browsed view on the run: all of it when it is narrower than
    // the view, else no empty stretch at either end.
    void clamp(double first, double last);

    double screen_ = 99.0;
    bool following_ = true;
    ChartWindow browsed_;
};
