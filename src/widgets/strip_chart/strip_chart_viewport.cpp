#include "widgets/strip_chart/strip_chart_viewport.h"

#include <algorithm>
#include <cmath>

void ChartViewport::setScreen(double seconds) {
    if (seconds > 0 && std::isfinite(seconds)) screen_ = seconds;
}

ChartWindow ChartViewport::window(double first, double last) const {
    if (!following_) return browsed_;
    if (last - first <= screen_) return {first, first + screen_};
    return {last - screen_, last};
}

void ChartViewport::zoom(double notches, double anchor, double first, double last) {
    if (!std::isfinite(notches) || notches == 0) return;
    const ChartWindow now = window(first, last);
    anchor = std::clamp(anchor, 0.0, 1.0);
    const double at = now.left + anchor * now.span();
    // Out to the whole run, or one screen when the run is shorter.
    const double widest = std::max(screen_, last - first);
    const double span =
        std::clamp(now.span() * std::pow(kNotch, -notches), kMinSpan, std::max(widest, kMinSpan));
    browsed_ = {at - anchor * span, at - anchor * span + span};
    following_ = false;
    clamp(first, last);
}

void ChartViewport::pan(double fraction, double first, double last) {
    if (!std::isfinite(fraction) || fraction == 0) return;
    const ChartWindow now = window(first, last);
    const double shift = fraction * now.span();
    browsed_ = {now.left + shift, now.right + shift};
    following_ = false;
    clamp(first, last);
}

void ChartViewport::clamp(double first, double last) {
    const double span = browsed_.span();
    const double lo = std::min(first, last - span), hi = std::max(first, last - span);
    browsed_.left = std::clamp(browsed_.left, lo, hi);
    browsed_.right = browsed_.left + span;
}
