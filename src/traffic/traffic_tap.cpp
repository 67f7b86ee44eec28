#include "traffic/traffic_tap.h"

#include "link/controller.h"

void TrafficTap::install(Controller& controller) {
    if (installed()) return;
    controller_ = &controller;
    Line& line = controller.line();
    frameHandle_ = line.addFrameObserver([this](const FrameRecord& r) { observe(r); });
    sendHandle_ = line.addSendObserver([this](const FrameRecord& r) { observeSend(r); });
    lineHandle_ = line.addLineObserver([this](LineEvent event, int) {
        if (event == LineEvent::connected) statistics_.reset();
        if (event == LineEvent::reconnected) deliver({reconnectedRow()});
    });
}

Scale TrafficTap::scale() const {
    return controller_ ? controller_->scale() : Scale{};
}

void TrafficTap::uninstall() {
    if (!installed()) return;
    Line& line = controller_->line();
    line.removeFrameObserver(frameHandle_);
    line.removeSendObserver(sendHandle_);
    line.removeLineObserver(lineHandle_);
    frameHandle_ = sendHandle_ = lineHandle_ = 0;
    controller_ = nullptr;
}

bool TrafficTap::startTrace(const std::string& path, std::string* why) {
    return trace_.open(path, why);
}

void TrafficTap::traceInto(TrafficTap& owner, std::string mark) {
    owner_ = &owner;
    mark_ = std::move(mark);
}

void TrafficTap::trace(std::vector<TrafficRow> rows) {
    if (!mark_.empty())
        for (TrafficRow& row : rows)
            row.meaning = mark_ + ": " + row.meaning;
    writer().write(rows);
}

void TrafficTap::stopTrace() {
    trace_.close();
}

void TrafficTap::keepRows(std::function<void()> wake) {
    std::lock_guard lock(rowsMutex_);
    keeping_ = true;
    wake_ = std::move(wake);
}

void TrafficTap::stopKeepingRows() {
    std::lock_guard lock(rowsMutex_);
    keeping_ = false;
    wake_ = nullptr;
    waiting_.clear();
}

std::vector<TrafficRow> TrafficTap::takeRows() {
    std::lock_guard lock(rowsMutex_);
    std::vector<TrafficRow> rows(std::make_move_iterator(waiting_.begin()),
                                 std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    return rows;
}

// The trace has the request as it goes out: a program stopped while it
// waits for the reply still leaves the frame it sent.
void TrafficTap::observeSend(const FrameRecord& record) {
    if (tracing()) trace({sentRowOf(scale(), record)});
}

void TrafficTap::observe(const FrameRecord& record) {
    statistics_.note(record);
    bool keeping = false;
    {
        std::lock_guard lock(rowsMutex_);
        keeping = keeping_;
    }
    if (!keeping && !tracing()) return;
    std::vector<TrafficRow> rows = rowsOf(scale(), record);
    trace({rows.back()});
    keep(std::move(rows));
}

void TrafficTap::deliver(std::vector<TrafficRow> rows) {
    trace(rows);
    keep(std::move(rows));
}

void TrafficTap::keep(std::vector<TrafficRow> rows) {
    bool keeping = false;
    {
        std::lock_guard lock(rowsMutex_);
        keeping = keeping_;
    }
    if (!keeping) return;
    std::function<void()> wake;
    {
        std::lock_guard lock(rowsMutex_);
        if (waiting_.empty()) wake = wake_;
        for (TrafficRow& row : rows)
            waiting_.push_back(std::move(row));
        while (waiting_.size() > kKeptRows)
            waiting_.pop_front();
    }
    if (wake) wake();
}

void traceLine(TrafficTap& tap, Controller& c) {
    if (!tap.traceFailure().empty() || !tap.tracing()) return;
    tap.uninstall();
    tap.install(c);
}

void untraceLine(TrafficTap& tap, Controller& c) {
    if (tap.listensTo(c)) tap.uninstall();
}
