#include "link/controller_health.h"

void ControllerHealth::note(Fault verdict, int port) {
    if (verdict == Fault::lineLost) return;
    ++requests_;
    if (verdict == Fault::none || verdict == Fault::exception) {
        ++replies_;
        lastReplyTicks_ = lineClock().now().time_since_epoch().count();
    }
    const bool none = verdict == Fault::noReply;
    if (none) ++silences_;
    const bool wasSilent = silence_.reached();
    silence_.note(none);
    silent_ = silence_.reached();
    if (!wasSilent && silent_) observers_.report(LineEvent::silent, port);
    if (wasSilent && !none) observers_.report(LineEvent::answering, port);
}

std::optional<Clock::TimePoint> ControllerHealth::lastReply() const {
    const int64_t ticks = lastReplyTicks_;
    if (ticks == 0) return std::nullopt;
    return Clock::TimePoint(Clock::TimePoint::duration(ticks));
}

void ControllerHealth::forget() {
    silence_ = {};
    silent_ = false;
    lastReplyTicks_ = 0;
    requests_ = replies_ = silences_ = 0;
}
