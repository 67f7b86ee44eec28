#include "runs/run_recorder.h"

#include "base/time_text.h"
#include "runs/run_end_journal.h"
#include "runs/run_units.h"

#include <algorithm>

namespace {

// The samples go on being read in the unit the run recorded: a zone whose
// controller shows another one now cannot go on in the same record. One an
// older q7 recorded without its unit was in the program's.
bool sameUnits(const RunState& stored, const std::vector<ZoneState>& now) {
    if (stored.zones.size() != now.size()) return false;
    const auto program = RunUnits::of(stored).shown();
    for (std::size_t i = 0; i < now.size(); ++i)
        if (stored.zones[i].unit.has_value() ? stored.zones[i].unit != now[i].unit
                                             : !program || program != now[i].unit)
            return false;
    return true;
}

} // namespace

void RunRecorder::goOn(const RunState& state) {
    const long long id = resuming_->id;
    std::string why;
    EndJournal journal(store_.endJournalPath());
    endSlot_ = journal.reserve(id, &why);
    if (!endSlot_) {
        if (problem_.empty()) problem_ = "its end could not be kept: " + why;
        return;
    }
    // The driver was lost after the last thing it recorded: its last sample,
    // or (a run that was still waiting) its last event or its opening.
    RunEvent lost{resuming_->state.opened, std::nullopt, EventKind::silence,
                  resuming_->state.segment, ""};
    if (const auto last = store_.lastSampleTime(id); last.failed()) {
        why = last.why();
    } else if (last.found()) {
        lost.time = *last;
        lost.text = "driver lost at " + clockTextAt(lost.time) + " (last sample)";
    } else if (const auto events = store_.events(id); events.failed()) {
        why = events.why();
    } else {
        for (const RunEvent& e : *events)
            lost.time = std::max(lost.time, e.time);
        lost.text = "driver lost after " + clockTextAt(lost.time) + " (its last record)";
    }
    if (lost.text.empty() || !store_.resumeRun(id, state.zones, lost, &why)) {
        journal.release(*endSlot_, id);
        endSlot_.reset();
        if (problem_.empty()) problem_ = why;
        return;
    }
    id_ = id;
    lost_ = lost;
}

void RunRecorder::runOpened(const RunState& state) {
    if (resuming_ && sameUnits(resuming_->state, state.zones)) {
        goOn(state);
        return;
    }
    std::string why;
    // The place for its end is taken while there is room, before the run
    // is in the store: a run whose end could be lost does not begin.
    EndJournal journal(store_.endJournalPath());
    endSlot_ = journal.reserve(0, &why);
    if (!endSlot_) {
        if (problem_.empty()) problem_ = "its end could not be kept: " + why;
        return;
    }
    id_ = store_.create(state, resuming_ ? std::optional<long long>(resuming_->id) : std::nullopt,
                        &why);
    if (!id_) {
        journal.release(*endSlot_, 0);
        endSlot_.reset();
        if (problem_.empty()) problem_ = why;
        return;
    }
    if (!journal.assign(*endSlot_, *id_, &why) || !store_.drive(*id_, &why)) {
        if (problem_.empty()) problem_ = why;
        // It will not run: it ends here, before anything is written, so that
        // nothing takes it for a run to go on with.
        RunState failed = state;
        failed.phase = RunPhase::ended;
        failed.outcome = RunOutcome::failed;
        failed.ended = state.opened;
        RunUpdate u{failed,
                    {},
                    {RunEvent{state.opened, std::nullopt, EventKind::end, 0,
                              "failed: it could not begin: " + why}},
                    true};
        runUpdated(u);
        id_.reset();
    }
}

void RunRecorder::continueRun(long long id) {
    id_ = id;
    std::string why;
    endSlot_ = EndJournal(store_.endJournalPath()).reserve(id, &why);
    if (!endSlot_ && problem_.empty()) problem_ = "its end could not be kept: " + why;
    if (!store_.drive(id, &why) && problem_.empty()) problem_ = why;
}

void RunRecorder::keepEnd(const RunUpdate& update) {
    const RunState& st = update.state;
    KeptEnd end;
    end.run = *id_;
    end.outcome = st.outcome.value_or(RunOutcome::stopped);
    end.ended = st.ended.value_or(st.opened);
    end.writes = st.writes;
    end.segment = st.segment;
    end.text = outcomeName(end.outcome);
    for (const RunEvent& e : update.events)
        if (e.kind == EventKind::end) end.text = e.text;
    std::string why;
    long slot = endSlot_.value_or(-1);
    endKept_ = EndJournal(store_.endJournalPath()).keep(&slot, end, &why);
    if (endKept_)
        endSlot_ = slot;
    else if (problem_.empty())
        problem_ = "its end could not be kept: " + why;
}

void RunRecorder::runUpdated(const RunUpdate& update) {
    if (!id_) return;
    // The end goes beside the store first, where a full disk cannot lose it.
    const bool ends = update.state.phase == RunPhase::ended && !endKept_;
    if (ends) keepEnd(update);
    std::string why;
    const bool recorded = store_.record(*id_, update, &why);
    if (!recorded && problem_.empty()) problem_ = why;
    if (!ends || !endKept_) return;
    EndJournal journal(store_.endJournalPath());
    if (recorded) {
        journal.release(*endSlot_, *id_);
    } else {
        journal.unrecorded(*endSlot_, *id_);
        endAside_ = true;
    }
}
