#include "history/panel/alarm_events_list.h"

#include "history/run_text.h"
#include "ui_alarm_events_list.h"

#include <QHeaderView>

#include <algorithm>

AlarmEventsList::AlarmEventsList(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::AlarmEventsList>()) {
    ui_->setupUi(this);
    ui_->alarmTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui_->alarmTable->horizontalHeader()->setStretchLastSection(true);
}

AlarmEventsList::~AlarmEventsList() = default;

void AlarmEventsList::addEvent(const AlarmEvent& event) {
    session_.push_back({event, event.text(), ++order_});
    if (session_.size() > std::size_t(kMaxEvents)) session_.erase(session_.begin());
    refill();
}

void AlarmEventsList::setStored(const std::vector<RunEvent>& events) {
    stored_.clear();
    // Read newest first: the first is given the largest order, below the session's.
    long long order = -1 - static_cast<long long>(events.size());
    for (auto e = events.rbegin(); e != events.rend(); ++e)
        if (auto parsed = alarmEventFromText(e->time, e->text))
            stored_.push_back({std::move(*parsed), e->text, ++order});
    // A firing's failed action is recorded as an event after it: the firing
    // did not all work either.
    for (const Kept& f : stored_) {
        if (f.event.kind != AlarmEvent::Kind::actionFailed) continue;
        for (Kept& k : stored_)
            if (k.event.kind == AlarmEvent::Kind::fired && k.event.wall == f.event.wall &&
                k.event.rule == f.event.rule && k.event.line == f.event.line &&
                k.event.id == f.event.id)
                k.event.ok = false;
    }
    refill();
}

void AlarmEventsList::refill() {
    std::vector<const Kept*> all;
    for (const Kept& k : session_)
        all.push_back(&k);
    for (const Kept& k : stored_) {
        // What this session fired and recorded in a run is the session's.
        const bool again = std::any_of(session_.begin(), session_.end(), [&](const Kept& s) {
            return s.event.wall == k.event.wall && s.text == k.text;
        });
        if (!again) all.push_back(&k);
    }
    std::stable_sort(all.begin(), all.end(), [](const Kept* a, const Kept* b) {
        if (a->event.wall != b->event.wall) return a->event.wall > b->event.wall;
        return a->order > b->order;
    });
    if (all.size() > std::size_t(kMaxEvents)) all.resize(kMaxEvents);

    listed_.clear();
    QTableWidget* table = ui_->alarmTable;
    table->setRowCount(int(all.size()));
    for (int row = 0; row < int(all.size()); ++row) {
        const AlarmEvent& e = all[std::size_t(row)]->event;
        listed_.push_back(e);
        QString done;
        for (const std::string& d : e.done)
            done += (done.isEmpty() ? "" : "; ") + QString::fromStdString(d);
        if (e.done.empty()) done = "nothing to do";
        const QStringList cells = {
            QString::fromStdString(dateAndTime(e.wall)), QString::fromStdString(e.rule),
            QString("%1 id %2").arg(QString::fromStdString(e.line)).arg(e.id), e.ok ? "yes" : "no",
            done};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
}
