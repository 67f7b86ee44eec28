#pragma once
// The ends of runs, kept beside the run store (runs.sqlite-ended) where a
// full disk cannot lose them. A run that went on unrecorded on a full disk
// would otherwise be left in the store as unfinished, and a resume would
// fire a kiln that had ended. So each run takes a place of its own here as
// it opens, while there is room, its blocks allocated then; its end is
// written into that place and synced before the store is written, which
// needs no new block however full the disk is. Once the store holds the
// end, the place is free for the next run. An end the store could not take
// stays until a process that writes the store puts it there, and until
// then everything that reads the store takes the run as ended.
//
// The file is a few places of kSlotBytes each, one per run open at once,
// each a line of text, so that a person can read it too. Writers take it
// with flock, readers share it.
#include "runs/run_driver.h"
#include "runs/run_record.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

struct KeptEnd {
    long long run = 0;
    RunOutcome outcome = RunOutcome::stopped;
    double ended = 0;
    long writes = 0;
    int segment = 0;
    std::string text; // of the run's end event
    // The store could not take it: the process that kept it tried and failed.
    bool unrecorded = false;
    RunDriver writer; // the process that kept it
};

class EndJournal {
  public:
    static constexpr long kSlotBytes = 512;

    explicit EndJournal(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // A place for the end of a run that opens now (run 0 while it has no id
    // yet), or the place run has already; its number, or nothing with why.
    std::optional<long> reserve(long long run, std::string* why);
    // The run that opened now has its id.
    bool assign(long slot, long long run, std::string* why);
    // The run's end, on the disk once this returns true: in its place, or
    // (when that was taken from it) in another, which *slot then names.
    bool keep(long* slot, const KeptEnd& end, std::string* why);
    // The store did not take the end of run kept at slot.
    void unrecorded(long slot, long long run);
    // Run's place is free again: the store holds what it kept, or the run
    // never opened.
    void release(long slot, long long run);

    // Every end kept, by run; nothing when there is no file.
    std::map<long long, KeptEnd> ends() const;
    // Puts into the store the ends it should hold by now (those it did not
    // take, and those of a process that is gone), each through record, and
    // frees their places once recorded; frees the places of runs that
    // endedInStore says ended, and of runs that never opened.
    void settle(const std::function<bool(const KeptEnd&)>& record,
                const std::function<bool(long long)>& endedInStore);

  private:
    std::string path_;
};
